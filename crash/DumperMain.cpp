// The crash reporter's entry point. Fixer's crash filter starts it with the
// crashed process on its command line; the report window shows while the
// analysis runs, and Dumper ends when the window closes, with
// kDumperReportedExitCode once the analysis reported the crash.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <new>

#include "crash/CrashAnalysis.h"
#include "crash/CrashHandoff.h"
#include "crash/ReportWnd.h"
#include "platform/Path.h"
#include "ui/LayoutArchive.h"
#include "ui/toolkit/UIlib.h"

using DuiLib::CPaintManagerUI;

namespace {

constexpr int kExitBadStart = 1;
constexpr int kExitNoWindow = 2;
// Within Fixer's own limit for the whole report.
constexpr DWORD kReleaseLimitMs = 90000;

struct ArgvDeleter {
    void operator()(wchar_t** argv) const { LocalFree(argv); }
};

// Shows the window and runs the loop until it is destroyed. The window frees
// itself once it has been created; before that it is still ours.
void RunReportWindow(Windows::ReportWnd* window, const Crash::CrashArguments& arguments) {
    std::unique_ptr<Windows::ReportWnd> owned(window);
    if (!window->Create(nullptr, L"Dumper", Windows::ReportWnd::kStyle, Windows::ReportWnd::kExStyle)) return;
    owned.release();
    window->CenterWindow();
    window->Begin(arguments);
    window->ShowWindow(true, true);
    CPaintManagerUI::MessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (FAILED(CoInitialize(nullptr))) return kExitBadStart;
    OleInitialize(nullptr);
    CPaintManagerUI::SetInstance(instance);
    RegisterLayoutArchive(CPaintManagerUI::GetResourceDll());

    auto* window = new (std::nothrow) Windows::ReportWnd(FolderOf(), Crash::StartCrashAnalysis);
    if (!window) return kExitNoWindow;

    int argc = 0;
    std::unique_ptr<wchar_t*, ArgvDeleter> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    Crash::CrashArguments arguments;
    if (!argv || !Crash::ParseDumperCommandLine(argc, argv.get(), arguments)) {
        delete window;
        return kExitBadStart;
    }
    RunReportWindow(window, arguments);
    // Closed early, the window must not leave the crashed process suspended;
    // if the analysis is stuck, Fixer resumes its thread once Dumper is gone.
    Crash::WaitUntilCrashedProcessReleased(kReleaseLimitMs);

    CPaintManagerUI::ReleaseResources();
    OleUninitialize();
    CoUninitialize();
    return Crash::CrashReported() ? static_cast<int>(Crash::kDumperReportedExitCode) : 0;
}
