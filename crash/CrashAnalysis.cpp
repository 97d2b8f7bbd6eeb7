#include "crash/CrashAnalysis.h"

#include <cstdarg>
#include <cwchar>
#include <new>
#include <exception>

#include "crash/CrashContext.h"
#include "net/Deployment.h"
#include "platform/Path.h"
#include "platform/Process.h"

namespace Crash {
namespace {

constexpr size_t kReportChars = 1024;

// Set while an analysis may hold a crashed thread suspended or a crashed
// process alive.
HANDLE ReleasedEvent() {
    static HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    return event;
}

struct Job {
    CrashArguments arguments;
    HWND window;
    AnalysisOutcome outcome;  // the thread's own: a window closed early takes nothing with it
};

// What the analysis learnt from the crashed process.
struct Crashed {
    DWORD processId = 0, threadId = 0;
    ULONG_PTR pointers = 0;
    DWORD exceptionCode = 0;
};

std::wstring Format(const wchar_t* format, ...) {
    wchar_t text[kReportChars + 1];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(text, kReportChars, format, args);
    va_end(args);
    text[n < 0 ? kReportChars : n] = L'\0';
    return text;
}

std::wstring Stamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return Format(L"%u-%u-%u-%u-%u-%u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

bool Read(HANDLE process, ULONG_PTR address, void* out, size_t size) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, reinterpret_cast<void*>(address), out, size, &read) && read == size;
}

HANDLE CreateReportFile(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// traceError: why there is no trace, when there is none.
std::wstring WriteLog(const CrashContext& crash, const std::wstring& path, DWORD traceError) {
    DWORD error = traceError;
    if (crash.traceLength > 0) {
        HANDLE file = CreateReportFile(path);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD bytes = static_cast<DWORD>(crash.traceLength * sizeof(wchar_t));
            DWORD written = 0;
            bool ok = WriteFile(file, crash.traceText, bytes, &written, nullptr) && written == bytes;
            error = GetLastError();
            CloseHandle(file);
            if (ok) return Format(L"Stack trace written to %ls\n\n", path.c_str());
        } else {
            error = GetLastError();
        }
    }
    return Format(L"Writing the stack trace failed because of error 0x%08X\n\n", error);
}

std::wstring WriteDump(HANDLE process, const Crashed& crashed, const std::wstring& path) {
    HANDLE file = CreateReportFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return Format(L"Minidump could not be taken because of error 0x%08X", GetLastError());
    MINIDUMP_EXCEPTION_INFORMATION exception = {};
    exception.ThreadId = crashed.threadId;
    exception.ExceptionPointers = reinterpret_cast<EXCEPTION_POINTERS*>(crashed.pointers);
    exception.ClientPointers = TRUE;
    bool ok = MiniDumpWriteDump(process, crashed.processId, file, static_cast<MINIDUMP_TYPE>(0x00021A75),
                                &exception, nullptr, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (ok) return Format(L"Minidump written to %ls", path.c_str());
    return Format(L"Minidump could not be taken because of error 0x%08X", error);
}

// Suspends the faulting thread, writes the trace and the dump, resumes it.
std::wstring WriteReport(Crashed& crashed, const std::wstring& logPath, const std::wstring& dumpPath) {
    static CrashContext* crash = static_cast<CrashContext*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CrashContext)));
    if (!crash) return Format(L"Writing the stack trace failed because of error 0x%08X\n\n",
                              ERROR_NOT_ENOUGH_MEMORY);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, crashed.processId);
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, crashed.threadId);
    // The thread must be the crashed process's, and neither may be Dumper's own:
    // suspending one of our threads would stop Dumper for good.
    if (process && thread &&
        (GetProcessId(process) == GetCurrentProcessId() || GetProcessIdOfThread(thread) != GetProcessId(process))) {
        CloseHandle(thread);
        thread = nullptr;
        SetLastError(ERROR_INVALID_PARAMETER);
    }
    if (!process || !thread) {
        std::wstring failed = Format(L"Writing the stack trace failed because of error 0x%08X\n\n",
                                     GetLastError());
        if (process) CloseHandle(process);
        if (thread) CloseHandle(thread);
        return failed + Format(L"Minidump could not be taken because of error 0x%08X",
                               ERROR_INVALID_PARAMETER);
    }
    SuspendThread(thread);
    crash->process = process;
    crash->thread = thread;
    crash->traceLength = 0;
    static CONTEXT context;
    ULONG_PTR pointers[2] = {};  // exception record, context
    DWORD traceError = ERROR_NO_DATA;  // a walk that found no frame
    if (Read(process, crashed.pointers, pointers, sizeof(pointers)) &&
        Read(process, pointers[1], &context, sizeof(context))) {
        Read(process, pointers[0], &crashed.exceptionCode, sizeof(crashed.exceptionCode));
        StartWalk(*crash, &context);
        crash->scratch = VirtualAllocEx(process, nullptr, 16, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!BuildStackTrace(*crash, L"srv*" + deployment::SymbolServer() + L"/symbols"))
            traceError = GetLastError();
        if (crash->scratch) VirtualFreeEx(process, crash->scratch, 0, MEM_RELEASE);
    } else {
        traceError = GetLastError();
    }
    std::wstring report = WriteLog(*crash, logPath, traceError);
    report += WriteDump(process, crashed, dumpPath);
    ResumeThread(thread);
    CloseHandle(thread);
    CloseHandle(process);
    return report.substr(0, kReportChars);
}

void PackReport(const std::wstring& folder, const std::wstring& name, const std::wstring& logPath,
                const std::wstring& dumpPath) {
    // "./7za.exe" is looked up in the current folder.
    SetCurrentDirectoryW(folder.c_str());
    LaunchAndWait(L"./7za.exe a " + name + L" \"" + logPath + L"\" \"" + dumpPath + L"\"");
    DeleteFileW(logPath.c_str());
    DeleteFileW(dumpPath.c_str());
}

// Ends the crashed process with its exception code: a crash must not look
// like a clean exit to whoever waits on it.
void EndCrashedProcess(const Crashed& crashed) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, crashed.processId);
    if (!process) return;
    TerminateProcess(process, crashed.exceptionCode);
    CloseHandle(process);
}

void Analyse(Job& job) {
    Crashed crashed;
    crashed.processId = wcstoul(job.arguments.processId.c_str(), nullptr, 10);
    crashed.threadId = wcstoul(job.arguments.threadId.c_str(), nullptr, 10);
    crashed.pointers = static_cast<ULONG_PTR>(wcstoull(job.arguments.pointer.c_str(), nullptr, 16));
    std::wstring folder = FolderOf();
    std::wstring stamp = Stamp();
    std::wstring logPath = folder + L"\\" + stamp + L".log";
    std::wstring dumpPath = folder + L"\\" + stamp + L".dmp";
    std::wstring report = WriteReport(crashed, logPath, dumpPath);
    job.outcome.archiveName = stamp + L".7z";
    PackReport(folder, job.outcome.archiveName, logPath, dumpPath);
    EndCrashedProcess(crashed);
    job.outcome.reportText = report;
    SetEvent(ReleasedEvent());
    SendMessageW(job.window, kAnalysisDone, report.empty() ? 0 : 1, reinterpret_cast<LPARAM>(&job.outcome));
}

DWORD WINAPI AnalysisThread(void* parameter) {
    Job* job = static_cast<Job*>(parameter);
    try {
        Analyse(*job);
    } catch (const std::exception&) {
        // Out of memory mid-way: the report window still hears that it ended.
        SetEvent(ReleasedEvent());
        job->outcome = {};
        SendMessageW(job->window, kAnalysisDone, 0, reinterpret_cast<LPARAM>(&job->outcome));
    }
    delete job;
    return 0;
}

}  // namespace

bool ParseDumperCommandLine(int argc, wchar_t** argv, CrashArguments& out) {
    if ((argc != 5 && argc != 7) || !argv) return false;
    out = {argv[1], argv[2], argv[3], argv[4]};
    return true;
}

bool StartCrashAnalysis(const CrashArguments& arguments, HWND window) {
    Job* job = new (std::nothrow) Job{arguments, window, {}};
    if (!job) return false;
    ResetEvent(ReleasedEvent());
    HANDLE thread = CreateThread(nullptr, 0, AnalysisThread, job, 0, nullptr);
    if (!thread) {
        SetEvent(ReleasedEvent());
        delete job;
        return false;
    }
    CloseHandle(thread);
    return true;
}

bool WaitUntilCrashedProcessReleased(DWORD ms) {
    return WaitForSingleObject(ReleasedEvent(), ms) == WAIT_OBJECT_0;
}

}  // namespace Crash
