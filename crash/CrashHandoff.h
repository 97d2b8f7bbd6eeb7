// Fixer's side of a crash: an exception nothing handles starts dumper.exe
// beside the executable with "\"dumper\" pid tid pointers version quorvex
// \"fixer\"" and waits for it, the faulting thread blocked meanwhile, so that
// Dumper can read the exception record and the thread's context from here.
// Dumper ends this process with the exception code once its report is
// written. The verdict is 1 (the process ends without the system's dialog)
// only when Dumper exits with kDumperReportedExitCode; anything else (no
// Dumper, a Dumper that failed, crashed or hung, a hand-off thread that is
// blocked or gone) gives 0, the system's own crash handling, which ends the
// process with the exception code. The limits: Dumper must be started within
// kStartLimitMs and end this process (or exit) within kReportLimitMs.
#pragma once
#include <windows.h>

namespace Crash {

// Raised for crashes that never reach the unhandled-exception filter in a
// MinGW program, so that they are reported like an access violation: a
// customer code (bit 29 set), "VCR" in its low bytes. Its one parameter says
// where it came from (RoutedCrash).
inline constexpr DWORD kRoutedCrashCode = 0xE0564352;
enum class RoutedCrash : ULONG_PTR { Terminate = 1, Abort = 2, InvalidParameter = 3, PureCall = 4 };

// Dumper's exit code when it wrote a report and ended the crashed process:
// "VCRO". Every other exit code is a failure.
inline constexpr DWORD kDumperReportedExitCode = 0x5643524F;

inline constexpr DWORD kStartLimitMs = 10000;
inline constexpr DWORD kReportLimitMs = 120000;

// Call first thing in wWinMain: installs the filter, starts the hand-off
// thread, guarantees stack for the filter after an overflow on this and every
// later thread, and routes terminate, abort, pure virtual calls and the C
// runtime's invalid-parameter handler into the filter. Once per process.
void InstallCrashHandoff();

// Raises kRoutedCrashCode with reason as its parameter; never returns.
[[noreturn]] void RaiseRouted(RoutedCrash reason);

// The filter itself (also what the installed filter calls).
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers);

}  // namespace Crash
