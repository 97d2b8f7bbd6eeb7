#include "crash/CrashAnalysis.h"

#include <atomic>
#include <cstdarg>
#include <cwchar>
#include <new>
#include <exception>

#include "crash/CrashContext.h"
#include "crash/SymbolHandler.h"
#include "net/Deployment.h"
#include "platform/Path.h"
#include "platform/StartupTrace.h"
#include "platform/UniqueHandle.h"

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

// What the analysis learnt from the crashed process, and its handles once
// validated.
struct Crashed {
    DWORD processId = 0, threadId = 0;
    ULONG_PTR pointers = 0;
    DWORD exceptionCode = kUnreadableExceptionCode;
    UniqueHandle process, thread;
};

std::atomic<bool> g_reported{false};

// 7-Zip packs two files of a few megabytes; one that takes longer is ended.
constexpr DWORD kPackLimitMs = 60000;

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

// Opens the process and thread the command line names; false, with the
// handles empty, unless the thread is the process's and neither is Dumper's
// own (suspending one of our threads would stop Dumper for good).
bool OpenCrashed(Crashed& crashed) {
    crashed.process.Reset(OpenProcess(PROCESS_ALL_ACCESS, FALSE, crashed.processId));
    crashed.thread.Reset(OpenThread(THREAD_ALL_ACCESS, FALSE, crashed.threadId));
    DWORD error = GetLastError();
    if (crashed.process && crashed.thread) {
        DWORD processId = GetProcessId(crashed.process.Get());
        if (processId != GetCurrentProcessId() && GetProcessIdOfThread(crashed.thread.Get()) == processId) return true;
        error = ERROR_INVALID_PARAMETER;
    }
    crashed.process.Reset();
    crashed.thread.Reset();
    SetLastError(error);
    return false;
}

// Suspends the faulting thread, writes the trace and the dump, resumes it.
// written: whether either file was written.
std::wstring WriteReport(Crashed& crashed, const std::wstring& logPath, const std::wstring& dumpPath,
                         bool& written) {
    static CrashContext* crash = static_cast<CrashContext*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CrashContext)));
    if (!crash) return Format(L"Writing the stack trace failed because of error 0x%08X\n\n",
                              ERROR_NOT_ENOUGH_MEMORY);
    HANDLE process = crashed.process.Get();
    SuspendThread(crashed.thread.Get());
    SymbolHandler symbols(process, SymbolSearchPath(deployment::SymbolServer()));
    TraceStartup("dumper: symbols ready");
    crash->process = process;
    crash->thread = crashed.thread.Get();
    crash->traceLength = 0;
    static CONTEXT context;
    ULONG_PTR pointers[2] = {};  // exception record, context
    DWORD traceError = ERROR_NO_DATA;  // a walk that found no frame
    DWORD code = 0;
    if (Read(process, crashed.pointers, pointers, sizeof(pointers)) &&
        Read(process, pointers[1], &context, sizeof(context))) {
        // 0 is no exception at all, and would end the process as a clean exit.
        if (Read(process, pointers[0], &code, sizeof(code)) && code != 0) crashed.exceptionCode = code;
        StartWalk(*crash, &context);
        crash->scratch = VirtualAllocEx(process, nullptr, 16, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (symbols.Started()) BuildStackTrace(*crash);
        else traceError = symbols.Error();
        if (crash->scratch) VirtualFreeEx(process, crash->scratch, 0, MEM_RELEASE);
    } else {
        traceError = GetLastError();
    }
    std::wstring log = WriteLog(*crash, logPath, traceError);
    TraceStartup("dumper: trace written");
    std::wstring dump = WriteDump(process, crashed, dumpPath);
    TraceStartup("dumper: minidump written");
    written = log.starts_with(L"Stack trace written") || dump.starts_with(L"Minidump written");
    ResumeThread(crashed.thread.Get());
    return (log + dump).substr(0, kReportChars);
}

// Why there is no report: the pair named is not a crashed process's thread.
std::wstring RefusedReport(DWORD error) {
    return Format(L"Writing the stack trace failed because of error 0x%08X\n\n", error) +
           Format(L"Minidump could not be taken because of error 0x%08X", ERROR_INVALID_PARAMETER);
}

// 7-Zip from Dumper's folder, without a console window.
void PackReport(const std::wstring& folder, const std::wstring& name, const std::wstring& logPath,
                const std::wstring& dumpPath) {
    std::wstring program = folder + L"\\7za.exe";
    std::wstring commandLine = L"\"" + program + L"\" a " + name + L" \"" + logPath + L"\" \"" + dumpPath + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       folder.c_str(), &startup, &info)) {
        UniqueHandle process(info.hProcess), thread(info.hThread);
        if (WaitForSingleObject(process.Get(), kPackLimitMs) != WAIT_OBJECT_0)
            TerminateProcess(process.Get(), ERROR_TIMEOUT);
        WaitForSingleObject(process.Get(), kPackLimitMs);  // its files closed before they are deleted
    }
    DeleteFileW(logPath.c_str());
    DeleteFileW(dumpPath.c_str());
}

void Analyse(Job& job) {
    TraceStartup("dumper: analysis started");
    Crashed crashed;
    crashed.processId = wcstoul(job.arguments.processId.c_str(), nullptr, 10);
    crashed.threadId = wcstoul(job.arguments.threadId.c_str(), nullptr, 10);
    crashed.pointers = static_cast<ULONG_PTR>(wcstoull(job.arguments.pointer.c_str(), nullptr, 16));
    std::wstring folder = FolderOf();
    std::wstring stamp = Stamp();
    std::wstring logPath = folder + L"\\" + stamp + L".log";
    std::wstring dumpPath = folder + L"\\" + stamp + L".dmp";
    bool written = false;
    std::wstring report = OpenCrashed(crashed) ? WriteReport(crashed, logPath, dumpPath, written)
                                               : RefusedReport(GetLastError());
    job.outcome.archiveName = stamp + L".7z";
    PackReport(folder, job.outcome.archiveName, logPath, dumpPath);
    TraceStartup("dumper: archive packed");
    // A crash must not look like a clean exit to whoever waits on it.
    if (crashed.process && TerminateProcess(crashed.process.Get(), crashed.exceptionCode)) {
        job.outcome.exceptionCode = crashed.exceptionCode;
        g_reported = written;
    }
    TraceStartup("dumper: process ended");
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

std::wstring SymbolSearchPath(const std::wstring& server) { return L"srv*" + server; }

bool CrashReported() { return g_reported; }

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
