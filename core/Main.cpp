// Fixer's entry point: one instance per session (unless restarted with an
// argument), the session's identity, COM and OLE, the layout archive, then
// the main window's message loop.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <new>

#include "crash/CrashHandoff.h"
#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "platform/Product.h"
#include "platform/StartupTrace.h"
#include "ui/LayoutArchive.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/UIlib.h"
#include "windows/MainWindow.h"

using DuiLib::CPaintManagerUI;

namespace {

// Process exit codes.
constexpr int kExitNormal = 0;
constexpr int kExitOtherInstance = 1;  // also: COM could not start
constexpr int kExitNoWindow = 2;


struct ArgvDeleter {
    void operator()(wchar_t** argv) const { LocalFree(argv); }
};

int ArgumentCount() {
    int count = 0;
    std::unique_ptr<wchar_t*, ArgvDeleter> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    return argv ? count : 0;
}

// True when another instance is running and has been brought forward. The
// mutex is never closed: it marks this process as running until it ends.
bool ActivatedRunningInstance() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Fixer_Fixer");
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) return false;
    // Still starting: its window is not there yet, so this one runs too.
    HWND running = FindWindowW(L"mainWnd", nullptr);
    if (!running) return false;
    SendMessageW(running, kActivateMessage, 0, 0);
    MessageBoxW(running, (std::wstring(L"已打开一个") + kProductName + L"。").c_str(), kNoticeTitle, MB_OK);
    return true;
}

void PrepareSession() {
    HttpSession& session = HttpSession::Instance();
    session.SetProduct(kProductNameUtf8);
    session.SetBaseUrl(deployment::ServiceUrl());
    session.Initialise();
}


void RunMainWindow(MainWindow& window) {
    // Created or not, the object is freed by the caller; no window, no loop to wait in.
    if (!window.Create(nullptr, L"Vantoro", WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_ACCEPTFILES)) return;
    TraceStartup("main window created");
    window.CenterWindow();
    window.ShowWindow(true, true);
    TraceStartup("main window shown");
    CPaintManagerUI::MessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    TraceStartup("entry");
    Crash::InstallCrashHandoff();
    // Exactly one argument: restarted by the crash reporter, while the old process may still hold the mutex.
    if (ArgumentCount() != 2 && ActivatedRunningInstance()) return kExitOtherInstance;
    PrepareSession();
    TraceStartup("session prepared");
    if (FAILED(CoInitialize(nullptr))) return kExitOtherInstance;
    OleInitialize(nullptr);
    TraceStartup("COM and OLE started");
    // Made before the layout: its start-up exchange runs while the window is built.
    std::unique_ptr<MainWindow> window(new (std::nothrow) MainWindow);
    if (!window) return kExitNoWindow;
    CPaintManagerUI::SetInstance(instance);
    RegisterLayoutArchive(CPaintManagerUI::GetResourceDll());
    TraceStartup("layout archive registered");

    RunMainWindow(*window);
    window.reset();

    CPaintManagerUI::ReleaseResources();
    OleUninitialize();
    CoUninitialize();
    return kExitNormal;
}
