// A child program for the process and shell tests.
//   spawn <marker> <depth> [late]
//                           starts a copy one level down (at depth 1 "linger")
//                           and exits at once; a late copy first waits 300 ms,
//                           so that each generation outlives its parent by
//                           more than one poll of LaunchAndWait
//   linger <marker>         waits a second, then writes marker and exits
//   orphan <ms>             starts a copy that holds for ms and exits at once
//   hold <ms>               waits ms and exits
//   record <file> args...   writes its arguments, one a line, UTF-8
//   lock <file>             holds file open without sharing until standard
//                           input ends; says "ready" on standard output first
//   window <class>          a hidden window of that class, until standard
//                           input ends (exit 0) or someone closes it (exit 3)
#include <windows.h>

#include <string>

#include "platform/Path.h"
#include "platform/Text.h"

namespace {

void Write(const std::wstring& path, const std::string& data) {
    // Written beside and renamed, so a reader never sees half of it.
    std::wstring partial = path + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool StartCopy(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + ModulePath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

int Spawn(const std::wstring& marker, int depth, bool late) {
    if (late) Sleep(300);
    std::wstring next = depth > 1 ? L"spawn \"" + marker + L"\" " + std::to_wstring(depth - 1) + L" late"
                                  : L"linger \"" + marker + L"\"";
    return StartCopy(next) ? 0 : 1;
}

void SayReady() {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, nullptr);
}

// The test ends a helper by closing its end of the pipe: no timing involved.
void WaitForInputEnd() {
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    }
}

int HoldLocked(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    SayReady();
    WaitForInputEnd();
    CloseHandle(file);
    return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(3);
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI QuitOnInputEnd(void* threadId) {
    WaitForInputEnd();
    PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(threadId)), WM_QUIT, 0, 0);
    return 0;
}

int ShowWindowOfClass(const std::wstring& className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassW(&windowClass)) return 1;
    if (!CreateWindowExW(0, className.c_str(), L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                         windowClass.hInstance, nullptr))
        return 1;
    void* threadId = reinterpret_cast<void*>(static_cast<UINT_PTR>(GetCurrentThreadId()));
    HANDLE watcher = CreateThread(nullptr, 0, QuitOnInputEnd, threadId, 0, nullptr);
    if (!watcher) return 1;
    CloseHandle(watcher);
    SayReady();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    std::wstring mode = argv[1];
    if (mode == L"spawn") return Spawn(argv[2], argc > 3 ? _wtoi(argv[3]) : 1, argc > 4);
    if (mode == L"linger") {
        Sleep(1000);
        Write(argv[2], std::to_string(GetCurrentProcessId()));
        return 0;
    }
    if (mode == L"orphan") return StartCopy(std::wstring(L"hold ") + argv[2]) ? 0 : 1;
    if (mode == L"hold") {
        Sleep(_wtoi(argv[2]));
        return 0;
    }
    if (mode == L"record") {
        std::string lines;
        for (int i = 3; i < argc; ++i) lines += WideToUtf8(argv[i]) + "\n";
        Write(argv[2], lines);
        return 0;
    }
    if (mode == L"lock") return HoldLocked(argv[2]);
    if (mode == L"window") return ShowWindowOfClass(argv[2]);
    return 2;
}
