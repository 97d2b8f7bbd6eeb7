#include "crash/ReportWnd.h"

#include <cwchar>

#include "net/Deployment.h"
#include "net/RequestQueue.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/VersionInfo.h"
#include "ui/MessageWnd.h"
#include "ui/TransferText.h"

using namespace DuiLib;

namespace Windows {

ReportWnd::ReportWnd(std::wstring folder, AnalysisStarter startAnalysis)
    : folder(std::move(folder)), startAnalysis(std::move(startAnalysis)) {}

bool ReportWnd::Begin(const Crash::CrashArguments& arguments) {
    tag = WideToUtf8(arguments.tag);
    return startAnalysis && startAnalysis(arguments, m_hWnd);
}

void ReportWnd::InitWindow() {
    reportBugOption = m_PaintManager.Find<COptionUI>(L"reportBugOpt");
    restartOption = m_PaintManager.Find<COptionUI>(L"rebootSoftOpt");
    okButton = m_PaintManager.Find<CButtonUI>(L"okBtn");
    progressBar = m_PaintManager.Find<CProgressUI>(L"progressprog");
    ReadOptions();
}

void ReportWnd::ReadOptions() {
    reportBug = reportBugOption && reportBugOption->IsSelected();
    restart = restartOption && restartOption->IsSelected();
}

http::Parameters ReportWnd::UploadParameters() const {
    std::wstring system = ReadMachineString(L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentVersion");
    return {{"version", WideToUtf8(VersionInfo::Instance().VersionText())},
            {"system", WideToUtf8(system)},
            {"product", "fixer"},
            {"exe_name", WideToUtf8(NameWithoutExtension(ModulePath()))},
            {"bit", IsWindows64() ? "64" : "32"}};
}

http::Multipart ReportWnd::UploadParts() const {
    return {http::Part::Text("tag", tag), http::Part::Text("product", "Fixer"),
            http::Part::Text("version", "1.1.1.1"),
            http::Part::File("file", WideToUtf8(folder + L"\\" + outcome.archiveName))};
}

void ReportWnd::Confirm() {
    if (!analysed || uploadId >= 0 || IsClosing()) return;
    ReadOptions();
    if (reportBug) {
        // The choices are final once the upload runs.
        if (okButton) okButton->SetEnabled(false);
        if (reportBugOption) reportBugOption->SetEnabled(false);
        if (restartOption) restartOption->SetEnabled(false);
        if (progressBar) progressBar->SetVisible(true);
        uploadId = RequestQueue::Instance().EnqueueMultipartUpload(deployment::DumperApiUrl() + "/api/fixer/client/dump",
                                                                   UploadParameters(), UploadParts(), m_hWnd,
                                                                   kUploadDone, kUploadProgress);
        return;
    }
    Close(IDOK);
    if (restart) Restart();
}

void ReportWnd::ShowProgress(const ProgressRecord& record) {
    if (progressBar) progressBar->SetValue(static_cast<int>(Percent(record.uploadNow, record.uploadTotal)));
}

// The upload's outcome is not the user's concern: every ending reads the same.
void ReportWnd::FinishUpload() {
    if (progressBar) progressBar->SetValue(100);
    const wchar_t* text = restart ? L"软件由于未知原因崩溃了，已分析完成。开始重新启动它。" : L"已分析完成。";
    ShowMessage(m_hWnd, text, kNoticeTitle, kMessageInfo);
    Close(IDOK);
    if (restart) Restart();
}

void ReportWnd::ShowExceptionCode() {
    auto* label = m_PaintManager.Find<CLabelUI>(L"errCode");
    wchar_t text[16];
    swprintf(text, std::size(text), L"0x%08lX", outcome.exceptionCode);
    if (label) label->SetText(text);
}

// A program that cannot be started is no worse off than before the crash.
void ReportWnd::Restart() { ShellOpen(folder + L"\\Vantoro.exe", {}, SW_SHOWNORMAL); }

void ReportWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender && msg.pSender->GetName() == L"okBtn") return Confirm();
    WindowImplBase::Notify(msg);
}

LRESULT ReportWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = TRUE;
    switch (message) {
        case Crash::kAnalysisDone:
            if (lParam) outcome = *reinterpret_cast<const Crash::AnalysisOutcome*>(lParam);
            analysed = true;
            ShowExceptionCode();
            if (okButton && uploadId < 0) okButton->SetEnabled(true);
            return 0;
        case kUploadProgress: {
            auto record = TakeRecord<ProgressRecord>(wParam);
            if (record && lParam == uploadId) ShowProgress(*record);
            return 0;
        }
        case kUploadDone: {
            auto record = TakeRecord<CompletionRecord>(wParam);
            if (record && record->taskId == uploadId) FinishUpload();
            return 0;
        }
    }
    handled = FALSE;
    return 0;
}

LRESULT ReportWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    PostQuitMessage(0);
    handled = FALSE;
    return 0;
}

void ReportWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

}  // namespace Windows
