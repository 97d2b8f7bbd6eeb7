// The timed check of one repair feature. Timer 10 advances the bar by 5 to 9
// every 500 ms with stage texts that fit the feature; past 100 the window
// shows "检测完成" and the button that opens the feature's solution page,
// and closes itself when that page returns. It inspects nothing: every check
// ends with a solution to view.
//
//   RunDialog(new Windows::CheckProgressWnd(feature), mainWindow, L"正在检查中");
#pragma once
#include <windows.h>

#include <functional>
#include <string_view>

#include "ui/toolkit/UIlib.h"

namespace Windows {

// Text of msgLbl once the progress stands at counter (1 to 100; below 1 the
// text before the first step). A stage starts at its boundary: 15, 30 and 50
// show the texts of 16, 31 and 51.
std::wstring_view CheckStageText(int counter, int featureIndex);

// What a step depends on outside the window, for tests to replace; an empty
// function stands for the product's own.
struct CheckProgressHooks {
    std::function<unsigned()> clock;         // whole seconds, the seed of every draw: time()
    std::function<int(unsigned seed)> draw;  // srand(seed), then rand()
    std::function<void(HWND owner, int featureIndex)> openSolution;  // a modal SolutionWnd
    UINT stepMs = 500;                       // 0: no timer; the steps come as WM_TIMER 10
};

class CheckProgressWnd : public DuiLib::WindowImplBase {
public:
    static constexpr UINT_PTR kStepTimer = 10;

    // featureIndex: 0 DLL repair, 1 C-drive cleanup, 2 system reinstall, 3 DirectX.
    explicit CheckProgressWnd(int featureIndex, CheckProgressHooks hooks = {});

protected:
    LPCWSTR GetWindowClassName() const override { return L"CheckProgressWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"CheckProgress.xml"; }
    void InitWindow() override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    void Step();
    void ShowProgress(int percent);

    int featureIndex;
    CheckProgressHooks hooks;
    DuiLib::CLabelUI* titleLabel = nullptr;
    DuiLib::CProgressUI* progressBar = nullptr;
    DuiLib::CLabelUI* percentLabel = nullptr;
    DuiLib::CLabelUI* stageLabel = nullptr;
    DuiLib::CButtonUI* solutionButton = nullptr;
};

}  // namespace Windows
