// Fixer's side of a crash: an exception nothing handles starts dumper.exe
// beside the executable with "\"dumper\" pid tid pointers version quorvex
// \"fixer\"" and waits for it, the faulting thread blocked meanwhile, so that
// Dumper can read the exception record and the thread's context from here.
// The verdict is 1 (the process ends without the system's dialog) once Dumper
// ran, 0 (the system's own crash handling) when it could not be started.
#pragma once
#include <windows.h>

namespace Crash {

// Raised for crashes that never reach the unhandled-exception filter in a
// MinGW program, so that they are reported like an access violation: a
// customer code (bit 29 set), "VCR" in its low bytes. Its one parameter says
// where it came from (RoutedCrash).
inline constexpr DWORD kRoutedCrashCode = 0xE0564352;
enum class RoutedCrash : ULONG_PTR { Terminate = 1, Abort = 2, InvalidParameter = 3, PureCall = 4 };

// Call first thing in wWinMain: installs the filter, starts the hand-off
// thread and routes terminate, abort, pure virtual calls and the C runtime's
// invalid-parameter handler into the filter. Once per process.
void InstallCrashHandoff();

// Raises kRoutedCrashCode with reason as its parameter; never returns.
[[noreturn]] void RaiseRouted(RoutedCrash reason);

// The filter itself (also what the installed filter calls).
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers);

}  // namespace Crash
