#include "crash/CrashHandoff.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <exception>

#include "platform/Path.h"
#include "platform/Product.h"
#include "platform/VersionInfo.h"

namespace Crash {
namespace {

// Everything the hand-off needs is prepared at installation, in static
// storage: a crash may come from a broken heap or an exhausted stack.
constexpr size_t kCommandLineChars = 32768;
wchar_t g_dumperPath[MAX_PATH * 4];
wchar_t g_fixerPath[MAX_PATH * 4];
wchar_t g_version[64];
wchar_t g_commandLine[kCommandLineChars];
bool g_systemSupported = false;

// Stack the system keeps back for the filter once a thread overflowed its own.
constexpr ULONG kStackGuaranteeBytes = 32 * 1024;
std::atomic<bool> g_installed{false};

// One crash handed off at a time; a second crashing thread waits its turn
// (Dumper normally ends the process before it comes).
CRITICAL_SECTION g_lock;
std::atomic<HANDLE> g_wake{nullptr};  // set once the hand-off thread runs
HANDLE g_done = nullptr;
HANDLE g_handoffThread = nullptr;  // signalled once the thread is gone, as at process exit
DWORD g_handoffThreadId = 0;
struct Request {
    DWORD threadId;
    EXCEPTION_POINTERS* pointers;
    LONG verdict;
} g_request;
std::atomic<bool> g_dumperStarted{false};

// Systems older than Vista report "5.x" here; nothing is started on them.
bool SystemSupported() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    wchar_t value[131] = {};
    DWORD bytes = 260;
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, L"CurrentVersion", nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    return wcscmp(value, L"6.0") >= 0;
}

bool StartDumper(DWORD threadId, EXCEPTION_POINTERS* pointers, PROCESS_INFORMATION& process) {
    if (!g_systemSupported || !g_dumperPath[0]) return false;
    // The pointer in upper-case hex as wide as a pointer, which is what "%p" prints.
    int n = _snwprintf(g_commandLine, kCommandLineChars, L"\"%ls\" %lu %lu %0*I64X %ls %ls \"%ls\"",
                       g_dumperPath, GetCurrentProcessId(), threadId, static_cast<int>(2 * sizeof(void*)),
                       static_cast<DWORD64>(reinterpret_cast<ULONG_PTR>(pointers)),
                       g_version, kProductName, g_fixerPath);
    if (n < 0 || static_cast<size_t>(n) >= kCommandLineChars) return false;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessW(g_dumperPath, g_commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                          nullptr, nullptr, &startup, &process);
}

// Dumper ends this process once its report is written; when it exits
// instead, only its "reported" code makes the crash handled.
LONG AwaitDumper(HANDLE dumper) {
    DWORD code = 0;
    if (WaitForSingleObject(dumper, kReportLimitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(dumper, &code))
        return EXCEPTION_CONTINUE_SEARCH;
    return code == kDumperReportedExitCode ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH;
}

// A Dumper that died or gave up between suspending and resuming the faulting
// thread leaves it suspended; the system's handling needs it running.
void ResumeFully(DWORD threadId) {
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId);
    if (!thread) return;
    for (int i = 0; i < 128; ++i) {
        DWORD previous = ResumeThread(thread);
        if (previous == static_cast<DWORD>(-1) || previous <= 1) break;
    }
    CloseHandle(thread);
}

LONG HandOff(DWORD threadId, EXCEPTION_POINTERS* pointers) {
    PROCESS_INFORMATION dumper = {};
    if (!StartDumper(threadId, pointers, dumper)) return EXCEPTION_CONTINUE_SEARCH;
    g_dumperStarted = true;
    LONG verdict = AwaitDumper(dumper.hProcess);
    CloseHandle(dumper.hThread);
    CloseHandle(dumper.hProcess);
    if (threadId != GetCurrentThreadId()) ResumeFully(threadId);
    return verdict;
}

// Runs on a stack of its own, so that a stack overflow can still be handed off.
DWORD WINAPI HandoffThread(void* wake) {
    for (;;) {
        WaitForSingleObject(wake, INFINITE);
        g_request.verdict = HandOff(g_request.threadId, g_request.pointers);
        SetEvent(g_done);
    }
}

// The hand-off thread's verdict. It may be blocked (starting Dumper needs the
// process heap, whose lock the faulting thread may hold) or gone (the process
// is exiting): then the system handles the crash.
LONG AwaitHandoff() {
    HANDLE signals[] = {g_done, g_handoffThread};
    DWORD waited = WaitForMultipleObjects(2, signals, FALSE, kStartLimitMs);
    if (waited == WAIT_TIMEOUT && g_dumperStarted) waited = WaitForMultipleObjects(2, signals, FALSE, kReportLimitMs);
    return waited == WAIT_OBJECT_0 ? g_request.verdict : EXCEPTION_CONTINUE_SEARCH;
}

void GuaranteeStack() {
    ULONG bytes = kStackGuaranteeBytes;
    SetThreadStackGuarantee(&bytes);
}

// Every thread started after the installation, ours or a library's.
void NTAPI OnThreadStart(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_ATTACH && g_installed) GuaranteeStack();
}

// A loaded module may have replaced our filter with its own; a stack overflow
// is handed off before it gets there.
LONG WINAPI OnStackOverflow(EXCEPTION_POINTERS* pointers) {
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
    LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(CrashFilter);
    SetUnhandledExceptionFilter(current);
    if (current == CrashFilter) return EXCEPTION_CONTINUE_SEARCH;
    if (CrashFilter(pointers) == EXCEPTION_EXECUTE_HANDLER) TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

[[noreturn]] void RaiseRouted(RoutedCrash reason) {
    ULONG_PTR argument = static_cast<ULONG_PTR>(reason);
    for (;;) RaiseException(kRoutedCrashCode, EXCEPTION_NONCONTINUABLE, 1, &argument);
}

namespace {

void OnTerminate() { RaiseRouted(RoutedCrash::Terminate); }
void OnAbortSignal(int) { RaiseRouted(RoutedCrash::Abort); }
void OnPureCall() { RaiseRouted(RoutedCrash::PureCall); }
void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
    RaiseRouted(RoutedCrash::InvalidParameter);
}

bool CopyText(wchar_t* target, size_t capacity, const std::wstring& text) {
    if (text.size() >= capacity) return false;
    wmemcpy(target, text.c_str(), text.size() + 1);
    return true;
}

void PrepareFields() {
    g_systemSupported = SystemSupported();
    std::wstring fixer = ModulePath();
    if (!CopyText(g_fixerPath, std::size(g_fixerPath), fixer) ||
        !CopyText(g_dumperPath, std::size(g_dumperPath), FolderOf(fixer) + L"\\dumper.exe"))
        g_dumperPath[0] = L'\0';
    VersionInfo version;
    version.Load(fixer);
    CopyText(g_version, std::size(g_version), version.VersionText());
}

}  // namespace

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
    DWORD self = GetCurrentThreadId();
    HANDLE wake = g_wake.load();
    if (!wake || self == g_handoffThreadId) return HandOff(self, pointers);
    EnterCriticalSection(&g_lock);
    g_request = {self, pointers, EXCEPTION_CONTINUE_SEARCH};
    g_dumperStarted = false;
    SetEvent(wake);
    LONG verdict = AwaitHandoff();
    LeaveCriticalSection(&g_lock);
    return verdict;
}

void InstallCrashHandoff() {
    SetUnhandledExceptionFilter(CrashFilter);
    PrepareFields();
    InitializeCriticalSection(&g_lock);
    GuaranteeStack();
    g_installed = true;
    AddVectoredExceptionHandler(0, OnStackOverflow);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // 64 KB committed: CreateProcessW alone needs several kilobytes.
    g_handoffThread = wake && g_done
                          ? CreateThread(nullptr, 64 * 1024, HandoffThread, wake, 0, &g_handoffThreadId)
                          : nullptr;
    // Published only once the thread runs (its handle lives as long as the
    // process): until then a crash hands off on the faulting thread itself.
    if (g_handoffThread) g_wake = wake;
    std::set_terminate(OnTerminate);
    signal(SIGABRT, OnAbortSignal);
    _set_purecall_handler(OnPureCall);
    _set_invalid_parameter_handler(OnInvalidParameter);
}

}  // namespace Crash

// The loader calls it for every thread that starts or ends, and at process
// start and exit.
extern "C" __attribute__((section(".CRT$XLC"), used)) const PIMAGE_TLS_CALLBACK g_crashThreadStart =
    Crash::OnThreadStart;

// libstdc++ leaves this weak and undefined in a static MinGW build, so a pure
// virtual call would jump to address 0; here it is a routed crash instead.
extern "C" void __cxa_pure_virtual() { Crash::RaiseRouted(Crash::RoutedCrash::PureCall); }
