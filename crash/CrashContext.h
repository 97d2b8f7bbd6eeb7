// The analysis thread's working state for one crashed process; only that
// thread touches it.
#pragma once
#include <windows.h>

#include <dbghelp.h>

#include <string>

namespace Crash {

inline constexpr int kTraceChars = 2097152;
// Frames walked at most: a stack overflow's recursion shows 256 of its frames.
inline constexpr int kMaxFrames = 256;

struct CrashContext {
    wchar_t traceText[kTraceChars];  // never more than kTraceChars - 1 and a NUL
    int traceLength;
    HANDLE process;
    HANDLE thread;
    CONTEXT* context;  // the faulting thread's, walked frame by frame
    STACKFRAME64 stackFrame;
    bool firstParameter;
    void* scratch;  // 16 bytes in the crashed process for register values
};

// Appends as much of text as fits; the rest is dropped.
void AppendTrace(CrashContext& crash, const wchar_t* text, size_t length);
void AppendTraceFormat(CrashContext& crash, const wchar_t* format, ...);

// Starts the walk at the faulting thread's context, which it then updates.
void StartWalk(CrashContext& crash, CONTEXT* context);
// Fills traceText: a head listing every loaded module ("0xbase 0xsize
// version buildid path", "-" for what is unknown), a blank line, then at most
// kMaxFrames frames, stopping at a frame whose stack pointer does not climb:
//   >NN: 0xaddress [module+0xoffset] name (parameter = value, ...) at file:line
// where the address is the function's (the frame's own without a name), the
// offset is that of the faulting instruction or, for callers, of the call,
// and a frame without a name ends with "?". Needs a SymbolHandler started
// for crash.process.
void BuildStackTrace(CrashContext& crash);

}  // namespace Crash
