// Prints how long a crash takes to be reported: from the fault to the report
// window's notification and to the archive on disk, for a process holding
// 50 MiB of private memory and for a stack overflow, median of the rounds;
// then the 50 MiB case again with the program stripped, as the setup ships it.
//   CrashBench <folder of crash_program_o2.exe, crash_program_stripped.exe and dumper_stand_in.exe>
//              <7za.exe> <work folder> [rounds]
// The phases say where the time goes: the hand-off up to Dumper's start, then
// the analysis's own steps, from the "trace: dumper: " marks a test build
// started with VANTORO_STARTUP_TRACE writes to the debugger output (read here
// as a debug-output monitor does), up to the notification.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/DebugOutput.h"

namespace {

using test::DebugOutputMonitor;
using test::Seconds;

// Dumper's marks, in the order the analysis writes them; each phase ends at its mark.
const char* const kMarks[] = {"dumper: analysis started", "dumper: symbols ready", "dumper: trace written",
                              "dumper: minidump written", "dumper: archive packed", "dumper: process ended"};
constexpr size_t kMarkCount = std::size(kMarks);

unsigned long long ReadNumbers(const std::wstring& path, unsigned long long* second = nullptr) {
    unsigned long long first = 0, other = 0;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        if (fscanf(file, "%llu %llu", &first, &other) < 1) first = 0;
        fclose(file);
    }
    if (second) *second = other;
    return first;
}

// The newest .7z in folder: its last write time and size.
bool FindArchive(const std::wstring& folder, unsigned long long* written, unsigned long long* size) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.7z").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    *written = (unsigned long long)found.ftLastWriteTime.dwHighDateTime << 32 | found.ftLastWriteTime.dwLowDateTime;
    *size = (unsigned long long)found.nFileSizeHigh << 32 | found.nFileSizeLow;
    return true;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

struct Round {
    double toDumper = 0, toArchive = 0, toMessage = 0;  // seconds from the fault
    double phase[kMarkCount] = {};  // each up to its mark, from the previous one (the first from Dumper's start)
    unsigned long long archiveBytes = 0;
    bool ok = false;
};

double Between(unsigned long long from, unsigned long long to) { return to >= from ? (to - from) / 1e7 : -1; }

// The phases from the marks; false when one is missing.
bool Split(DebugOutputMonitor& monitor, double dumperStartedAgo, Round& round) {
    double previous = Seconds() - dumperStartedAgo;
    auto trace = monitor.Trace();
    for (size_t i = 0; i < kMarkCount; ++i) {
        auto at = trace.find(kMarks[i]);
        if (at == trace.end()) return false;
        round.phase[i] = at->second - previous;
        previous = at->second;
    }
    return true;
}

unsigned long long FileTimeNow() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return (unsigned long long)now.dwHighDateTime << 32 | now.dwLowDateTime;
}

Round CrashOnce(DebugOutputMonitor& monitor, const std::wstring& bin, const wchar_t* crasher, const std::wstring& sevenZa,
                const std::wstring& folder, const wchar_t* kind) {
    RemoveFolder(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring program = folder + L"\\Vantoro.exe";
    Round round;
    if (!CopyFileW((bin + L"\\" + crasher).c_str(), program.c_str(), FALSE) ||
        !CopyFileW((bin + L"\\dumper_stand_in.exe").c_str(), (folder + L"\\dumper.exe").c_str(), FALSE) ||
        !CopyFileW(sevenZa.c_str(), (folder + L"\\7za.exe").c_str(), FALSE))
        return round;
    std::wstring clock = folder + L"\\clock.txt", times = folder + L"\\times.txt";
    SetEnvironmentVariableW(L"VANTORO_CRASH_CLOCK", clock.c_str());
    SetEnvironmentVariableW(L"VANTORO_CRASH_TIMES", times.c_str());
    SetEnvironmentVariableW(L"VANTORO_STARTUP_TRACE", L"1");
    monitor.Watch(0);  // Dumper is the crashed program's child: one runs at a time
    std::wstring line = L"\"" + program + L"\" " + kind;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return round;
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The stand-in writes its times after the crashed process is gone.
    unsigned long long started = 0, done = 0;
    for (int i = 0; i < 600 && !(started = ReadNumbers(times, &done)); ++i) Sleep(50);
    unsigned long long crashed = ReadNumbers(clock), written = 0;
    if (!crashed || !started || !FindArchive(folder, &written, &round.archiveBytes)) return round;
    if (!Split(monitor, Between(started, FileTimeNow()), round)) {
        printf("  no marks from Dumper: is it a test build?\n");
        return round;
    }
    round.toDumper = Between(crashed, started);
    round.toArchive = Between(crashed, written);
    round.toMessage = Between(crashed, done);
    round.ok = true;
    return round;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The phases as printed: the step each mark ends.
const char* const kPhaseNames[] = {"Dumper's start", "symbol init", "walk + lookups", "minidump", "7-Zip",
                                   "ending the process"};

void PrintSplit(const char* lead, double toDumper, const double* phase, double toMessage) {
    printf("%shand-off %.3f s", lead, toDumper);
    for (size_t i = 0; i < kMarkCount; ++i) printf(", %s %.3f s", kPhaseNames[i], phase[i]);
    printf(", to the message %.3f s\n", toMessage);
}

bool Measure(DebugOutputMonitor& monitor, const std::wstring& bin, const wchar_t* crasher, const std::wstring& sevenZa,
             const std::wstring& work, const wchar_t* kind, const char* what, double goal, int rounds) {
    std::vector<double> toDumper, toArchive, toMessage, phases[kMarkCount];
    unsigned long long archiveBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        Round r = CrashOnce(monitor, bin, crasher, sevenZa, work + L"\\" + kind + L"-" + std::to_wstring(i), kind);
        if (!r.ok) {
            printf("%s: round %d left no report\n", what, i + 1);
            return false;
        }
        printf("  %s round %d: archive %.3f s; ", what, i + 1, r.toArchive);
        PrintSplit("", r.toDumper, r.phase, r.toMessage - r.toArchive);
        toDumper.push_back(r.toDumper);
        toArchive.push_back(r.toArchive);
        toMessage.push_back(r.toMessage);
        for (size_t p = 0; p < kMarkCount; ++p) phases[p].push_back(r.phase[p]);
        archiveBytes = r.archiveBytes;
    }
    double medians[kMarkCount];
    for (size_t p = 0; p < kMarkCount; ++p) medians[p] = Median(phases[p]);
    printf("%s, median of %d: to the archive %.3f s, to message 1125 %.3f s; archive %llu bytes; "
           "goal to the archive under %.0f s: %s\n",
           what, rounds, Median(toArchive), Median(toMessage), archiveBytes, goal,
           Median(toArchive) < goal ? "met" : "MISSED");
    PrintSplit("  split (medians): ", Median(toDumper), medians, Median(toMessage) - Median(toArchive));
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: CrashBench <bin folder> <7za.exe> <work folder> [rounds]\n");
        return 2;
    }
    int rounds = argc > 4 ? std::max(1, _wtoi(argv[4])) : 5;
    CreateDirectoryW(argv[3], nullptr);
    DebugOutputMonitor monitor;
    if (!monitor.Start()) {
        fprintf(stderr, "cannot read the debugger output\n");
        return 1;
    }
    const wchar_t* symbols = L"crash_program_o2.exe";
    bool ok = Measure(monitor, argv[1], symbols, argv[2], argv[3], L"bulk", "crash holding 50 MiB", 2, rounds);
    ok = Measure(monitor, argv[1], symbols, argv[2], argv[3], L"overflow", "stack overflow", 3, rounds) && ok;
    ok = Measure(monitor, argv[1], L"crash_program_stripped.exe", argv[2], argv[3], L"bulk",
                 "stripped program, crash holding 50 MiB", 2, rounds) && ok;
    return ok ? 0 : 1;
}
