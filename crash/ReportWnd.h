// Dumper's window: shown while the analysis runs, it offers to send the report
// and to restart Fixer, and shows the crash's exception code once known. Its button wakes on kAnalysisDone; a confirmation
// uploads the archive through the request queue (kUploadDone, kUploadProgress),
// tells the user the analysis is complete and, when asked, starts Vantoro.exe
// from Dumper's folder. The window posts the quit message when it is destroyed.
//
//   auto* window = new (std::nothrow) Windows::ReportWnd(FolderOf(), Crash::StartCrashAnalysis);
//   window->Create(nullptr, L"Dumper", ReportWnd::kStyle, ReportWnd::kExStyle);
//   window->Begin(arguments);
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "crash/CrashAnalysis.h"
#include "net/http/Multipart.h"
#include "net/http/Parameters.h"
#include "ui/toolkit/UIlib.h"

struct ProgressRecord;

namespace Windows {

class ReportWnd : public DuiLib::WindowImplBase {
public:
    static constexpr UINT kUploadDone = 1126;
    static constexpr UINT kUploadProgress = 1133;
    static constexpr DWORD kStyle = 0x96CF0000;
    static constexpr DWORD kExStyle = 0x10;

    // How the analysis is started; Crash::StartCrashAnalysis in Dumper.
    using AnalysisStarter = std::function<bool(const Crash::CrashArguments&, HWND)>;

    // folder is Dumper's: the archive is read from it and Vantoro.exe started from it.
    ReportWnd(std::wstring folder, AnalysisStarter startAnalysis);

    // Keeps the tag and starts the analysis, which reports to this window.
    bool Begin(const Crash::CrashArguments& arguments);

    // What a confirmation sends, in the order sent.
    http::Parameters UploadParameters() const;
    http::Multipart UploadParts() const;

protected:
    LPCWSTR GetWindowClassName() const override { return L"ReportWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"ReportUI.xml"; }
    void InitWindow() override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    void ReadOptions();
    void Confirm();
    void ShowProgress(const ProgressRecord& record);
    void FinishUpload();
    void ShowExceptionCode();
    void Restart();

    std::wstring folder;
    AnalysisStarter startAnalysis;
    Crash::AnalysisOutcome outcome;  // copied from kAnalysisDone
    std::string tag;                 // UTF-8
    bool reportBug = true;
    bool restart = true;
    bool analysed = false;
    int uploadId = -1;  // the upload's task id once it is queued
    DuiLib::COptionUI* reportBugOption = nullptr;
    DuiLib::COptionUI* restartOption = nullptr;
    DuiLib::CButtonUI* okButton = nullptr;
    DuiLib::CProgressUI* progressBar = nullptr;
};

}  // namespace Windows
