// Runs a program with arguments and prints its process id, "pid %lu", and
// then its exit code in full, which a Unix exit status cannot carry:
// "exit 0x%08X".
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
    for (int i = 2; i < argc; ++i) line += L" " + std::wstring(argv[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[1], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        printf("start failed %lu\n", GetLastError());
        return 1;
    }
    printf("pid %lu\n", process.dwProcessId);
    fflush(stdout);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("exit 0x%08lX\n", code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
