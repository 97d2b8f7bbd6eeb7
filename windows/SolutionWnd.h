// The solution page of one repair feature: the user picks a version (and a
// plugin), the page lists the resources the service names for that choice,
// and each row's button downloads, opens or shows its resource.
#pragma once
#include <windows.h>

#include "ui/toolkit/UIlib.h"

namespace Windows {

class SolutionWnd : public DuiLib::WindowImplBase {
public:
    // featureIndex: 0 DLL repair, 1 C-drive cleanup, 2 system reinstall, 3 DirectX.
    explicit SolutionWnd(int featureIndex);

protected:
    LPCWSTR GetWindowClassName() const override { return L"SolutionWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"SolutionUI.xml"; }
    void OnFinalMessage(HWND hWnd) override;

private:
    int featureIndex;
};

}  // namespace Windows
