// Runs a program with arguments and prints its process id, "pid %lu", and
// then its exit code in full, which a Unix exit status cannot carry:
// "exit 0x%08X".
//   crash_runner --fault-in NAME.exe RVA
// instead starts a thread in the running program of that name at the function RVA bytes
// into its main module, with 0x10 as the argument: a way to crash a
// program that has no crash of its own (the installed Vantoro.exe).
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

DWORD ProcessNamed(const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD id = 0;
    for (bool more = Process32FirstW(snapshot, &entry); more && !id; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, name) == 0) id = entry.th32ProcessID;
    CloseHandle(snapshot);
    return id;
}

int FaultIn(const wchar_t* name, DWORD rva) {
    const DWORD processId = ProcessNamed(name);
    // The first module of the snapshot is the program itself.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    MODULEENTRY32W module = {};
    module.dwSize = sizeof(module);
    const bool found = snapshot != INVALID_HANDLE_VALUE && Module32FirstW(snapshot, &module);
    if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                     PROCESS_VM_WRITE | PROCESS_VM_READ,
                                 FALSE, processId);
    if (!found || !process) {
        if (process) CloseHandle(process);
        printf("no process %ls\n", name);
        return 1;
    }
    auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(module.modBaseAddr + rva);
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, start, reinterpret_cast<void*>(0x10), 0, nullptr);
    printf(thread ? "started\n" : "start failed %lu\n", GetLastError());
    if (thread) CloseHandle(thread);
    CloseHandle(process);
    return thread ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--fault-in")
        return FaultIn(argv[2], wcstoul(argv[3], nullptr, 16));
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
