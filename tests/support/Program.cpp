#include "tests/support/Program.h"

namespace test {

Program::Program(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_))
        process_ = {};
}

Program::~Program() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

HWND Program::Window(const wchar_t* windowClass) const {
    for (HWND window = FindWindowW(windowClass, nullptr); window;
         window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == Id() && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

HWND Program::AwaitWindow(const wchar_t* windowClass, DWORD ms) const {
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (HWND window = Window(windowClass)) return window;
        if (GetTickCount() - start >= ms) return nullptr;
    }
}

DWORD Program::AwaitExit(DWORD ms) const {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

}  // namespace test
