// Stands in for Vantoro.exe when the report window restarts it: writes its own
// path and command line to "restarted.txt" beside itself, then ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = std::wstring(path) + L"\n" + GetCommandLineW() + L"\n";
    std::wstring log(path);
    log = log.substr(0, log.rfind(L'\\') + 1) + L"restarted.txt";
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    DWORD wrote = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &wrote, nullptr);
    CloseHandle(file);
    return 0;
}
