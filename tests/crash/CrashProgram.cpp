// Crashes on purpose, the way named by its one argument, with the same
// hand-off as Fixer installed first.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "crash/CrashHandoff.h"

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
