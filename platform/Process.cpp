#include "platform/Process.h"

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/UniqueHandle.h"

bool IsWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    // Missing on the oldest systems, hence looked up at run time.
    auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &wow64)) return false;
    return wow64 != FALSE;
}

bool IsWindows64() {
#ifdef _WIN64
    return true;
#else
    return IsWow64();
#endif
}

namespace {

struct SidDeleter {
    void operator()(PSID sid) const { FreeSid(sid); }
};

bool Report(const char* function) {
    printf("Error detecting %s (%lu)\n", function, GetLastError());
    fflush(stdout);
    return false;
}

}  // namespace

bool IsRunAsAdmin() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid))
        return Report("IsRunAsAdmin");
    std::unique_ptr<void, SidDeleter> owned(sid);
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, sid, &member)) return Report("IsRunAsAdmin");
    return member != FALSE;
}

bool IsProcessElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Report("IsProcessElevated");
    UniqueHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size))
        return Report("IsProcessElevated");
    return elevation.TokenIsElevated != 0;
}

namespace {

bool IsXpOrOlder() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return !GetVersionExW(&version) || version.dwMajorVersion <= 5;
}

// Starts file elevated through the shell; the process handle, or none.
UniqueHandle RunAs(const std::wstring& file, const std::wstring& parameters, ULONG mask) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return {};
    return UniqueHandle(info.hProcess);
}

}  // namespace

DWORD RelaunchElevated(const std::wstring& parameters) {
    if (IsRunAsAdmin() || IsProcessElevated()) return 0;
    if (IsXpOrOlder()) return 0;
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n == MAX_PATH) return 0;
    UniqueHandle process = RunAs(
        path, parameters, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_NO_CONSOLE);
    if (!process) return 0;
    DWORD id = GetProcessId(process.Get());
    printf("Re-launched with privileges, child pid %lu\n", id);
    fflush(stdout);
    return id;
}

namespace {

struct BasicInformation {  // PROCESS_BASIC_INFORMATION, 24 bytes in a 32-bit process
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};

using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

NtQueryInformationProcessFn QueryInformationProcess() {
    static auto function = reinterpret_cast<NtQueryInformationProcessFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQueryInformationProcess")));
    return function;
}

}  // namespace

long ParentProcessId(DWORD processId) {
    auto query = QueryInformationProcess();
    if (!query) return -1;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process) return -1;
    BasicInformation information{};
    ULONG length = 0;
    if (query(process.Get(), 0, &information, sizeof(information), &length) < 0) return -1;
    return static_cast<long>(information.inheritedFromUniqueProcessId);
}

bool SetMessageFilter(UINT message, bool allow) {
    using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (!user32) return false;
    auto change = reinterpret_cast<ChangeWindowMessageFilterFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    bool result = change && change(message, allow ? MSGFLT_ADD : MSGFLT_REMOVE);
    FreeLibrary(user32);
    return result;
}

std::pair<std::wstring, std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    const wchar_t* blanks = L" \t";
    size_t start = commandLine.find_first_not_of(blanks);
    if (start == std::wstring::npos) return {};
    size_t end;
    std::wstring program;
    if (commandLine[start] == L'"') {
        end = commandLine.find(L'"', start + 1);
        program = commandLine.substr(start + 1, end == std::wstring::npos ? end : end - start - 1);
        if (end != std::wstring::npos) ++end;
    } else {
        end = commandLine.find_first_of(blanks, start);
        program = commandLine.substr(start, end == std::wstring::npos ? end : end - start);
    }
    size_t parameters = end == std::wstring::npos ? end : commandLine.find_first_not_of(blanks, end);
    return {program, parameters == std::wstring::npos ? std::wstring() : commandLine.substr(parameters)};
}

namespace {

constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED, missing from MinGW's headers

constexpr size_t kTrackedCapacity = 4096;

// Process ids are reused as soon as a process is gone, so an id alone does not
// name a process: a tracked id can come back as an unrelated program, and a
// long-lived program whose parent died names that id as its parent. The
// creation time tells them apart (0 when it cannot be read).
struct Tracked {
    DWORD id;
    ULONGLONG created;
};

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

ULONGLONG CreationTime(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process ? CreationTime(process.Get()) : 0;
}

const Tracked* Find(const std::vector<Tracked>& tracked, DWORD id) {
    auto found = std::find_if(tracked.begin(), tracked.end(), [id](const Tracked& t) { return t.id == id; });
    return found == tracked.end() ? nullptr : &*found;
}

bool Unknown(ULONGLONG a, ULONGLONG b) { return a == 0 || b == 0; }

bool AnyAlive(const std::vector<Tracked>& tracked, const DWORD* running, size_t count) {
    return std::any_of(running, running + count, [&](DWORD id) {
        const Tracked* t = Find(tracked, id);
        if (!t) return false;
        ULONGLONG created = CreationTime(id);
        return Unknown(created, t->created) || created == t->created;
    });
}

// Adds every running process whose parent is tracked and that started after
// it; whether any was added.
bool AdoptOrphans(std::vector<Tracked>& tracked, const DWORD* running, size_t count) {
    bool added = false;
    for (size_t i = 0; i < count; ++i) {
        long parent = ParentProcessId(running[i]);
        if (tracked.size() >= kTrackedCapacity || parent < 0 || Find(tracked, running[i])) continue;
        const Tracked* p = Find(tracked, static_cast<DWORD>(parent));
        if (!p) continue;
        ULONGLONG created = CreationTime(running[i]);
        if (!Unknown(created, p->created) && created < p->created) continue;
        tracked.push_back({running[i], created});
        printf("LaunchAndWait: Found new child process with ID %lu parented to %ld\n", running[i], parent);
        fflush(stdout);
        added = true;
    }
    return added;
}

// Starts commandLine; 0 and the process, or the Win32 error.
DWORD Start(const std::wstring& commandLine, Tracked* started) {
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, nullptr, &startup, &info)) {
        DWORD error = GetLastError();
        if (error != kElevationRequired) return error;
        DWORD processId = 0;
        if ((error = StartElevated(commandLine, &processId))) return error;
        *started = {processId, CreationTime(processId)};
        return 0;
    }
    CloseHandle(info.hThread);
    *started = {info.dwProcessId, CreationTime(info.hProcess)};
    CloseHandle(info.hProcess);
    return 0;
}

DWORD WaitForTree(Tracked root) {
    std::vector<Tracked> tracked{root};
    tracked.reserve(kTrackedCapacity);
    std::vector<DWORD> running(4096);
    for (;;) {
        DWORD bytes = 0;
        if (!EnumProcesses(running.data(), static_cast<DWORD>(running.size() * sizeof(DWORD)), &bytes))
            return GetLastError();
        size_t count = bytes / sizeof(DWORD);
        if (!AnyAlive(tracked, running.data(), count) && !AdoptOrphans(tracked, running.data(), count)) {
            printf("LaunchAndWait: All processes exited\n");
            fflush(stdout);
            return 0;
        }
        Sleep(100);
    }
}

}  // namespace

DWORD StartElevated(const std::wstring& commandLine, DWORD* processId) {
    auto [program, parameters] = SplitCommandLine(commandLine);
    UniqueHandle process = RunAs(program, parameters, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC);
    if (!process) return GetLastError() ? GetLastError() : ERROR_CANCELLED;
    *processId = GetProcessId(process.Get());
    return 0;
}

DWORD LaunchAndWait(const std::wstring& commandLine) {
    Tracked root{};
    if (DWORD error = Start(commandLine, &root)) return error;
    return WaitForTree(root);
}

DWORD WaitForProcessTree(DWORD processId) { return WaitForTree({processId, CreationTime(processId)}); }
