// Pages on top of each other; only the selected one is visible.
#pragma once
#include "ui/toolkit/Container.h"

namespace DuiLib {

class CTabLayoutUI : public CContainerUI {
public:
    CDuiString GetClass() const override { return L"TabLayout"; }

    int GetCurSel() const { return current_; }
    bool SelectItem(int index);
    bool SelectItem(CControlUI* page);

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

private:
    void ShowOnly(int index);
    int current_ = -1;
    int initial_ = 0;
};

}  // namespace DuiLib
