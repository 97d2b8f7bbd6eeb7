// Dumper without its report window: the analysis runs against a hidden
// window that ends the program on the notification. The outcome goes to the
// file named by VANTORO_CRASH_OUTCOME (UTF-8 lines: the command line's
// fields, the archive name, the report text). For the benchmark, the file
// VANTORO_CRASH_TIMES names gets the FILETIMEs of its start and of the
// notification. VANTORO_STAND_IN_FAILS makes it fail instead: "exit1" exits
// with 1 at once, "suspend-exit" suspends the crashed thread and exits,
// "crash" suspends it and crashes. Its exit code is Dumper's.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "crash/CrashAnalysis.h"
#include "crash/CrashHandoff.h"
#include "platform/Text.h"

namespace {

Crash::AnalysisOutcome g_outcome;
unsigned long long g_started = 0, g_done = 0;

unsigned long long Now() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return (unsigned long long)now.dwHighDateTime << 32 | now.dwLowDateTime;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == Crash::kAnalysisDone) {
        g_done = Now();
        if (lParam) g_outcome = *reinterpret_cast<const Crash::AnalysisOutcome*>(lParam);
        PostQuitMessage(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WriteOutcome(const Crash::CrashArguments& arguments) {
    wchar_t path[MAX_PATH * 4];
    if (!GetEnvironmentVariableW(L"VANTORO_CRASH_OUTCOME", path, MAX_PATH * 4)) return;
    FILE* file = _wfopen(path, L"wb");
    if (!file) return;
    std::wstring text = arguments.processId + L"\n" + arguments.threadId + L"\n" + arguments.pointer +
                        L"\n" + arguments.tag + L"\n" + g_outcome.archiveName + L"\n" + g_outcome.reportText;
    std::string utf8 = WideToUtf8(text);
    fwrite(utf8.data(), 1, utf8.size(), file);
    fclose(file);
}

void WriteTimes() {
    wchar_t path[MAX_PATH * 4];
    if (!GetEnvironmentVariableW(L"VANTORO_CRASH_TIMES", path, MAX_PATH * 4)) return;
    if (FILE* file = _wfopen(path, L"wb")) {
        fprintf(file, "%llu %llu", g_started, g_done);
        fclose(file);
    }
}

int volatile* volatile g_nowhere = nullptr;

// Returns only when no failure is asked for.
void FailAsAsked(const Crash::CrashArguments& arguments) {
    wchar_t how[32] = {};
    if (!GetEnvironmentVariableW(L"VANTORO_STAND_IN_FAILS", how, std::size(how))) return;
    if (!wcscmp(how, L"exit1")) ExitProcess(1);
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, wcstoul(arguments.threadId.c_str(), nullptr, 10));
    if (thread) SuspendThread(thread);
    if (!wcscmp(how, L"crash")) *g_nowhere = 1;
    ExitProcess(0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_started = Now();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Crash::CrashArguments arguments;
    if (!Crash::ParseDumperCommandLine(argc, argv, arguments)) return 1;
    FailAsAsked(arguments);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"DumperStandIn";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Dumper", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, instance, nullptr);
    if (!window || !Crash::StartCrashAnalysis(arguments, window)) return 2;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    Crash::WaitUntilCrashedProcessReleased();
    WriteOutcome(arguments);
    WriteTimes();
    return Crash::CrashReported() ? static_cast<int>(Crash::kDumperReportedExitCode) : 0;
}
