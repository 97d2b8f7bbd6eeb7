// Dumper's analysis of one crashed process: it runs on a thread of its own
// while the report window shows, writes the stack trace and the minidump,
// packs them into a 7z archive beside dumper.exe, ends the crashed process
// and then tells the report window with kAnalysisDone. The process is ended
// only through the handle the analysis validated (the thread named is that
// process's), never by its id again. Every wait has a limit, and so has the
// walk (kMaxFrames), so a report is written with what was found.
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
    DWORD exceptionCode = 0;   // the crashed process's exit code, 0 when none was ended
};

// The crashed process's exit code when its exception record cannot be read
// (or holds no code):
// STATUS_UNSUCCESSFUL, so that it never looks like a clean exit.
inline constexpr DWORD kUnreadableExceptionCode = 0xC0000001;

// dbghelp's search path for the symbol server named (which ends in "/symbols").
std::wstring SymbolSearchPath(const std::wstring& server);

// Starts the analysis thread (detached). The window may be gone before it ends.
bool StartCrashAnalysis(const CrashArguments& arguments, HWND window);

// Blocks until no crashed process is left suspended by the analysis (it has
// resumed the faulting thread or ended the process), or ms pass. Dumper calls
// it before it exits, so that closing the window early strands nothing.
bool WaitUntilCrashedProcessReleased(DWORD ms = INFINITE);

// Whether the analysis wrote the trace or the minidump and ended the crashed
// process; Dumper tells Fixer with its exit code.
bool CrashReported();

}  // namespace Crash
