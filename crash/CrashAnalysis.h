// Dumper's analysis of one crashed process: it runs on a thread of its own
// while the report window shows, writes the stack trace and the minidump,
// packs them into a 7z archive beside dumper.exe, ends the crashed process
// and then tells the report window with kAnalysisDone.
#pragma once
#include <windows.h>

#include <string>

namespace Crash {

// SendMessageW(window, kAnalysisDone, reportText non-empty ? 1 : 0,
// const AnalysisOutcome*); the outcome lives only while the message is handled.
inline constexpr UINT kAnalysisDone = 1125;

// What Dumper's command line names: Fixer writes seven fields (dumper path,
// process id, thread id, exception pointers, file version, product, Fixer's
// path); the five-field form (path, process id, thread id, pointer, tag) is
// accepted too. The tag is field 5 in both.
struct CrashArguments {
    std::wstring processId;
    std::wstring threadId;
    std::wstring pointer;
    std::wstring tag;
};

// False for any other number of fields.
bool ParseDumperCommandLine(int argc, wchar_t** argv, CrashArguments& out);

struct AnalysisOutcome {
    std::wstring reportText;   // the two result messages, at most 1,024 characters
    std::wstring archiveName;  // stamp + ".7z", relative to Dumper's folder
};

// Starts the analysis thread (detached). The window may be gone before it ends.
bool StartCrashAnalysis(const CrashArguments& arguments, HWND window);

// Blocks until no crashed process is left suspended by the analysis (it has
// resumed the faulting thread or ended the process), or ms pass. Dumper calls
// it before it exits, so that closing the window early strands nothing.
bool WaitUntilCrashedProcessReleased(DWORD ms = INFINITE);

}  // namespace Crash
