// Bitness, privilege and process helpers. The privilege and launch helpers
// write short diagnostics to standard output only.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

bool IsWow64();             // a 32-bit process on 64-bit Windows
bool IsWindows64();         // the system is 64-bit (a 64-bit program runs only there)
bool IsRunAsAdmin();        // the token is in the built-in Administrators group
bool IsProcessElevated();   // the token is elevated
// Starts this executable again through "runas" unless already elevated;
// the new process id, or 0 when nothing was started.
DWORD RelaunchElevated(const std::wstring& parameters);
long ParentProcessId(DWORD processId);  // -1 when unknown
// Lets message through (or blocks it) across the privilege isolation.
bool SetMessageFilter(UINT message, bool allow);
// Runs commandLine and waits until it and every process orphaned by it have
// ended; 0 or the Win32 error that stopped it. A program that needs elevation
// is started through "runas".
DWORD LaunchAndWait(const std::wstring& commandLine);
// The two halves of LaunchAndWait.
DWORD StartElevated(const std::wstring& commandLine, DWORD* processId);  // 0 or the error
DWORD WaitForProcessTree(DWORD processId);
// The program and the parameters of a command line, the program unquoted;
// used to start a command elevated through the shell.
std::pair<std::wstring, std::wstring> SplitCommandLine(const std::wstring& commandLine);
