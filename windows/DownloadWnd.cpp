#include "windows/DownloadWnd.h"

#include <vector>

#include "net/RequestQueue.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "ui/MessageWnd.h"
#include "ui/TransferText.h"

using namespace DuiLib;

namespace Windows {

namespace {

struct Results {
    std::vector<DownloadResult> items;
    int nextId = 1;
};

// UI thread only, like every window.
Results& TheResults() {
    static Results* results = new Results;
    return *results;
}

}  // namespace

DownloadResult TakeDownloadResult(int resultId) {
    std::vector<DownloadResult>& items = TheResults().items;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->resultId != resultId) continue;
        DownloadResult result = *it;
        items.erase(it);
        return result;
    }
    return {-1, -1, -1};
}

DownloadWnd::DownloadWnd(std::string url, std::wstring targetPath, std::wstring promptPath, DownloadCheck check)
    : url(std::move(url)), targetPath(std::move(targetPath)), promptPath(std::move(promptPath)), check(std::move(check)) {}

void DownloadWnd::InitWindow() {
    titleLabel = m_PaintManager.Find<CLabelUI>(L"apptitlelbl");
    tipLabel = m_PaintManager.Find<CLabelUI>(L"tipLbl");
    percentLabel = m_PaintManager.Find<CLabelUI>(L"progresslbl");
    progressBar = m_PaintManager.Find<CProgressUI>(L"progressprog");
    if (titleLabel) titleLabel->SetText(L"下载" + ShortenName(FileName(targetPath)) + L"中");
    SetTimer(kStartTimer, 200);
}

void DownloadWnd::Start() {
    KillTimer(kStartTimer);
    if (taskId >= 0 || IsClosing()) return;
    taskId = RequestQueue::Instance().EnqueueRequest(url, {}, m_hWnd, kDoneMessage, kProgressMessage,
                                                     WideToUtf8(targetPath), check);
}

void DownloadWnd::ShowProgress(const ProgressRecord& record) {
    double percent = Percent(record.downloadNow, record.downloadTotal);
    std::wstring tip = record.downloadTotal == 0
                           ? L"正在初始化下载"
                           : L"大小: " + SizeText(record.downloadTotal) + L" 速度: " +
                                 SpeedText(record.downloadNow, GetTickCount() - record.startTick);
    if (percentLabel) percentLabel->SetText(PercentText(percent));
    if (tipLabel) tipLabel->SetText(tip);
    if (progressBar) progressBar->SetValue(static_cast<int>(percent));
}

void DownloadWnd::Finish(const CompletionRecord& record) {
    if (finished) return;
    finished = true;
    Results& results = TheResults();
    DownloadResult result{static_cast<int>(record.response.status_code),
                          static_cast<int>(record.response.error.code), results.nextId++, record.rejected};
    results.items.push_back(result);
    Close(static_cast<UINT>(result.resultId));
}

// Every way out while a transfer runs (close button, Escape, Alt+F4) comes here.
void DownloadWnd::AskToCancel() {
    asking = true;
    int answer = ShowMessage(m_hWnd, L"是否要取消下载" + FileName(promptPath) + L"?", kNoticeTitle, kMessageQuestion);
    asking = false;
    if (answer != kMessageOk || finished) return;
    if (taskId >= 0) {
        RequestQueue::Instance().CancelRequest(taskId);  // message 1131 closes the window
        return;
    }
    Close(static_cast<UINT>(-1));
}

void DownloadWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender && msg.pSender->GetName() == L"closebtn") return AskToCancel();
    WindowImplBase::Notify(msg);
}

LRESULT DownloadWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = TRUE;
    switch (message) {
        case WM_TIMER:
            if (wParam != kStartTimer) break;
            // Not while the user is asked whether to cancel: a "yes" then
            // still finds nothing started.
            if (!asking) Start();
            return 0;
        case kProgressMessage: {
            auto record = TakeRecord<ProgressRecord>(wParam);
            if (record && lParam == taskId) ShowProgress(*record);
            return 0;
        }
        case kDoneMessage: {
            auto record = TakeRecord<CompletionRecord>(wParam);
            if (record && record->taskId == taskId) Finish(*record);
            return 0;
        }
        case WM_DESTROY:
            // The owner went away with us: the transfer must not go on writing.
            if (taskId >= 0 && !finished) RequestQueue::Instance().CancelRequest(taskId);
            break;
    }
    handled = FALSE;
    return 0;
}

void DownloadWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

}  // namespace Windows
