#include "crash/CrashHandoff.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <exception>

#include "platform/Path.h"
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

// One crash handed off at a time; a second crashing thread waits its turn
// (Dumper normally ends the process before it comes).
CRITICAL_SECTION g_lock;
std::atomic<HANDLE> g_wake{nullptr};  // set once the hand-off thread runs
HANDLE g_done = nullptr;
DWORD g_handoffThreadId = 0;
struct Request {
    DWORD threadId;
    EXCEPTION_POINTERS* pointers;
    LONG verdict;
} g_request;

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

LONG StartDumperAndWait(DWORD threadId, EXCEPTION_POINTERS* pointers) {
    if (!SystemSupported() || !g_dumperPath[0]) return EXCEPTION_CONTINUE_SEARCH;
    // The pointer in upper-case hex as wide as a pointer, which is what "%p" prints.
    int n = _snwprintf(g_commandLine, kCommandLineChars, L"\"%ls\" %lu %lu %0*I64X %ls %ls \"%ls\"",
                       g_dumperPath, GetCurrentProcessId(), threadId, static_cast<int>(2 * sizeof(void*)),
                       static_cast<DWORD64>(reinterpret_cast<ULONG_PTR>(pointers)),
                       g_version, L"quorvex", g_fixerPath);
    if (n < 0 || static_cast<size_t>(n) >= kCommandLineChars) return EXCEPTION_CONTINUE_SEARCH;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(g_dumperPath, g_commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process))
        return EXCEPTION_CONTINUE_SEARCH;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Runs on a stack of its own, so that a stack overflow can still be handed off.
DWORD WINAPI HandoffThread(void* wake) {
    for (;;) {
        WaitForSingleObject(wake, INFINITE);
        g_request.verdict = StartDumperAndWait(g_request.threadId, g_request.pointers);
        SetEvent(g_done);
    }
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
    if (!wake || self == g_handoffThreadId) return StartDumperAndWait(self, pointers);
    EnterCriticalSection(&g_lock);
    g_request = {self, pointers, EXCEPTION_CONTINUE_SEARCH};
    SetEvent(wake);
    WaitForSingleObject(g_done, INFINITE);
    LONG verdict = g_request.verdict;
    LeaveCriticalSection(&g_lock);
    return verdict;
}

void InstallCrashHandoff() {
    SetUnhandledExceptionFilter(CrashFilter);
    PrepareFields();
    InitializeCriticalSection(&g_lock);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // 64 KB committed: CreateProcessW alone needs several kilobytes.
    HANDLE thread = wake && g_done
                        ? CreateThread(nullptr, 64 * 1024, HandoffThread, wake, 0, &g_handoffThreadId)
                        : nullptr;
    // Published only once the thread runs: until then a crash hands off on
    // the faulting thread itself.
    if (thread) {
        CloseHandle(thread);  // lives as long as the process
        g_wake = wake;
    }
    std::set_terminate(OnTerminate);
    signal(SIGABRT, OnAbortSignal);
    _set_purecall_handler(OnPureCall);
    _set_invalid_parameter_handler(OnInvalidParameter);
}

}  // namespace Crash

// libstdc++ leaves this weak and undefined in a static MinGW build, so a pure
// virtual call would jump to address 0; here it is a routed crash instead.
extern "C" void __cxa_pure_virtual() { Crash::RaiseRouted(Crash::RoutedCrash::PureCall); }
