// Crashes on purpose, the way named by its one argument, with the same
// hand-off as Fixer installed first.
#include <windows.h>

#include <tlhelp32.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "crash/CrashHandoff.h"
#include "ui/toolkit/WindowWnd.h"

namespace {

int* volatile g_nowhere = nullptr;
volatile int g_zero = 0;

// The frame the trace must show with its parameters' values; noipa keeps
// the optimiser from folding the constant arguments into a clone without them.
__attribute__((noipa)) int FaultWithText(const char* s, int n) {
    int sum = s[n];
    *g_nowhere = sum;
#ifdef __x86_64__
    // x64 passes s and n in registers, which the optimiser reuses once they
    // are dead: keep them alive through the fault so the trace can show them.
    asm volatile("" : : "r"(s), "r"(n));
#endif
    return sum + n;
}

[[noreturn]] __attribute__((noinline)) void FaultForEver(const char* s) {
    for (;;) FaultWithText(s, 5);
}

// Its last instruction is the call, so the return address is the first byte
// of the function after it; the trace must still name this one.
__attribute__((noinline)) void CallAtTheEnd(const char* s) { FaultForEver(s); }

__attribute__((noinline, used)) void FollowsCallAtTheEnd() { printf("not crashed\n"); }

// The saved frame pointer points at its own slot and the return address back
// into this function, so an x86 walk that trusts the chain never leaves it.
__attribute__((noinline, optimize("no-omit-frame-pointer"))) void FaultInSelfPointingFrame() {
    void** frame = static_cast<void**>(__builtin_frame_address(0));
    frame[0] = frame;
    frame[1] = &&inside;
inside:
    *g_nowhere = 1;
}

// What ExitProcess does before the last code runs: every other thread, the
// hand-off's too, is gone.
void EndOtherThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId() || entry.th32ThreadID == GetCurrentThreadId()) continue;
        if (HANDLE thread = OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ThreadID)) {
            TerminateThread(thread, 0);
            WaitForSingleObject(thread, 5000);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
}

LONG WINAPI ReplacingFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

class ThrowingWindow : public DuiLib::CWindowWnd {
    LPCWSTR GetWindowClassName() const override { return L"CrashProgramWindow"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) throw std::runtime_error("handler failed");
        return CWindowWnd::HandleMessage(message, wParam, lParam);
    }
};

// For the tests that name this process to Dumper: its ids, then it waits.
void PrintIdsAndWait() {
    printf("%lu %lu\n", GetCurrentProcessId(), GetCurrentThreadId());
    fflush(stdout);
    Sleep(120000);
}

#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int Recurse(volatile char* previous) {
    volatile char block[4096];
    block[0] = previous ? previous[0] + 1 : 0;
    return Recurse(block) + block[1];
}

struct Base {
    Base() { Call(); }
    virtual ~Base() = default;
    void Call() { Pure(); }
    virtual void Pure() = 0;
};
struct Derived : Base {
    void Pure() override {}
};

// 308 characters: more than the 255 a symbol name is given. x64 passes the
// arguments in registers, so without the flag the call would become a jump
// and leave no frame of this function.
__attribute__((noipa, optimize("no-optimize-sibling-calls"))) void CallerWithANameFarLongerThanTheSymbolBufferHoldsXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX() { FaultWithText("hello world", 5); }

// For the benchmark: the moment of the crash, as a FILETIME, in the file
// VANTORO_CRASH_CLOCK names.
void MarkCrashClock() {
    wchar_t path[MAX_PATH];
    if (!GetEnvironmentVariableW(L"VANTORO_CRASH_CLOCK", path, MAX_PATH)) return;
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    if (FILE* file = _wfopen(path, L"wb")) {
        fprintf(file, "%llu", (unsigned long long)now.dwHighDateTime << 32 | now.dwLowDateTime);
        fclose(file);
    }
}

// 50 MiB of private memory, every page touched, before the fault.
void CrashHoldingMemory() {
    const size_t size = 50u << 20;
    auto* block = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!block) return;
    for (size_t i = 0; i < size; i += 4096) block[i] = char(i);
    MarkCrashClock();
    FaultWithText("hello world", 5);
}

[[noreturn]] void Throw() { throw std::runtime_error("crash test"); }

void CrashAs(const char* kind) {
    if (!strcmp(kind, "access")) FaultWithText("hello world", 5);
    if (!strcmp(kind, "null")) FaultWithText(nullptr, 5);
    if (!strcmp(kind, "long-name")) CallerWithANameFarLongerThanTheSymbolBufferHoldsXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX();
    if (!strcmp(kind, "long-string")) {
        static char text[151];
        memset(text, 'a', 150);
        FaultWithText(text, 5);
    }
    if (!strcmp(kind, "bulk")) CrashHoldingMemory();
    if (!strcmp(kind, "overflow")) {
        MarkCrashClock();
        Recurse(nullptr);
    }
    if (!strcmp(kind, "overflow-replaced")) {
        SetUnhandledExceptionFilter(ReplacingFilter);
        Recurse(nullptr);
    }
    if (!strcmp(kind, "call-at-end")) CallAtTheEnd("hello world");
    if (!strcmp(kind, "self-chain")) FaultInSelfPointingFrame();
    if (!strcmp(kind, "heap-locked")) {
        HeapLock(GetProcessHeap());
        FaultWithText("hello world", 5);
    }
    if (!strcmp(kind, "exit")) {
        EndOtherThreads();
        FaultWithText("hello world", 5);
    }
    if (!strcmp(kind, "window-throw")) {
        ThrowingWindow window;
        if (window.Create(nullptr, L"crash", WS_POPUP, 0)) SendMessageW(window, WM_APP, 0, 0);
    }
    if (!strcmp(kind, "wait")) PrintIdsAndWait();
    if (!strcmp(kind, "throw")) Throw();
    if (!strcmp(kind, "throw-thread")) std::thread(Throw).join();
    if (!strcmp(kind, "abort")) abort();
    if (!strcmp(kind, "purecall")) Derived derived;
    if (!strcmp(kind, "divide")) printf("%d\n", 100 / g_zero);
    if (!strcmp(kind, "two-threads")) {
        HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        auto crash = [go] {
            WaitForSingleObject(go, INFINITE);
            FaultWithText("hello world", 5);
        };
        std::thread a(crash), b(crash);
        SetEvent(go);
        a.join();
        b.join();
    }
    // msvcrt.dll's checked functions do not all call the handler (Wine's never
    // do), so call the installed one the way the runtime would.
    if (!strcmp(kind, "invalid-parameter")) {
        if (_invalid_parameter_handler handler = _get_invalid_parameter_handler())
            handler(nullptr, nullptr, nullptr, 0, 0);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Crash::InstallCrashHandoff();
    if (argc < 2) return 2;
    char kind[64] = {};
    WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, kind, sizeof(kind) - 1, nullptr, nullptr);
    CrashAs(kind);
    return 3;  // not crashed
}
