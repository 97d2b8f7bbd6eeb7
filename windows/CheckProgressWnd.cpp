#include "windows/CheckProgressWnd.h"

#include <cstdlib>
#include <ctime>
#include <new>
#include <string>

#include "ui/Dialog.h"
#include "windows/SolutionWnd.h"

using namespace DuiLib;

namespace Windows {

namespace {

// One check window at a time (it is modal), so the progress is process-wide;
// destroying a window sets it back, and the next check starts from 0.
int progressCounter = 0;

constexpr int kSystemReinstall = 2;

unsigned SecondsNow() { return static_cast<unsigned>(std::time(nullptr)); }

int SeededRand(unsigned seed) {
    std::srand(seed);
    return std::rand();
}

void RunSolutionPage(HWND owner, int featureIndex) {
    RunDialog(new (std::nothrow) SolutionWnd(featureIndex), owner, L"产品详情");
}

std::wstring_view FeatureStageText(int featureIndex) {
    switch (featureIndex) {
        case 0: return L"正在检测当前系统丢失dll与dll环境问题";
        case 1: return L"正在检测C盘垃圾、大文件、缓存等";
        case 2: return L"正在检测适配当前系统的系统";
        case 3: return L"正在检测当前系统丢失DirectX与DirectX环境问题";
        default: return L"正在检测当前操作系统环境";  // no feature of its own
    }
}

}  // namespace

std::wstring_view CheckStageText(int counter, int featureIndex) {
    bool reinstall = featureIndex == kSystemReinstall;
    if (counter < 1) return L"开始检测中~";
    if (counter < 15) return L"正在检测当前操作系统环境";
    if (counter < 30) return FeatureStageText(featureIndex);
    if (counter < 50) return reinstall ? L"正在检索适配的操作系统中" : L"正在检索适配当前问题的资源中";
    if (counter < 70) return reinstall ? L"正在生成下载资源" : L"正在生成适配当前问题的解决方案中";
    return L"已准备好解决方案，立即查看";
}

CheckProgressWnd::CheckProgressWnd(int featureIndex, CheckProgressHooks given) : featureIndex(featureIndex), hooks(std::move(given)) {
    if (!hooks.clock) hooks.clock = SecondsNow;
    if (!hooks.draw) hooks.draw = SeededRand;
    if (!hooks.openSolution) hooks.openSolution = RunSolutionPage;
}

void CheckProgressWnd::InitWindow() {
    titleLabel = m_PaintManager.Find<CLabelUI>(L"apptitlelbl");
    progressBar = m_PaintManager.Find<CProgressUI>(L"progressprog");
    percentLabel = m_PaintManager.Find<CLabelUI>(L"progresslbl");
    stageLabel = m_PaintManager.Find<CLabelUI>(L"msgLbl");
    solutionButton = m_PaintManager.Find<CButtonUI>(L"viewSolutionBtn");
    if (hooks.stepMs) SetTimer(kStepTimer, hooks.stepMs);
}

void CheckProgressWnd::ShowProgress(int percent) {
    if (progressBar) progressBar->SetValue(percent);
    if (percentLabel) percentLabel->SetText(std::to_wstring(percent) + L"%");
}

void CheckProgressWnd::Step() {
    // Reseeded before every draw: steps within one second add the same amount.
    int drawn = hooks.draw(hooks.clock()) % 5;
    progressCounter += (drawn < 0 ? drawn + 5 : drawn) + 5;
    if (progressCounter <= 100) {
        ShowProgress(progressCounter);
        if (stageLabel) stageLabel->SetText(CheckStageText(progressCounter, featureIndex));
        return;
    }
    KillTimer(kStepTimer);
    if (titleLabel) titleLabel->SetText(L"检测完成");
    ShowProgress(100);
    if (solutionButton) solutionButton->SetVisible(true);
    if (titleLabel) Announce(titleLabel);  // a reader hears that the check is done, wherever its focus is
}

LRESULT CheckProgressWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, BOOL& handled) {
    handled = message == WM_TIMER && wParam == kStepTimer;
    if (handled) Step();
    return 0;
}

void CheckProgressWnd::Notify(TNotifyUI& msg) {
    // The page runs modally; a second click queued behind the first finds the window closing.
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender && msg.pSender == solutionButton && !IsClosing()) {
        hooks.openSolution(m_hWnd, featureIndex);
        Close(0);
    }
    WindowImplBase::Notify(msg);
}

void CheckProgressWnd::OnFinalMessage(HWND hWnd) {
    progressCounter = 0;
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

}  // namespace Windows
