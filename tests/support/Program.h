// A program the test starts in a process of its own, and its top-level
// windows as another process sees them.
#pragma once
#include <windows.h>

#include <string>

namespace test {

// Ended at the latest when the object goes.
class Program {
public:
    Program(const std::wstring& exe, const std::wstring& arguments = L"");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    DWORD Id() const { return process_.dwProcessId; }
    HANDLE Handle() const { return process_.hProcess; }

    // A visible top-level window of this process with the class, or null
    // (after ms when waiting).
    HWND Window(const wchar_t* windowClass) const;
    HWND AwaitWindow(const wchar_t* windowClass, DWORD ms = 20000) const;
    // The exit code, or STILL_ACTIVE when it has not ended within ms.
    DWORD AwaitExit(DWORD ms = 20000) const;

private:
    PROCESS_INFORMATION process_{};
};

}  // namespace test
