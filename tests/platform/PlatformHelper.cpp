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
    return 2;
}
