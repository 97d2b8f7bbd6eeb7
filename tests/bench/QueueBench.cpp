// Prints the request queue's figures: download rate against curl.exe built
// from the same libcurl (the two alternate over several rounds; medians are
// what to compare), where a download's time goes, working-set growth during a
// big download, and the latency from enqueue to completion for small requests.
//   QueueBench <base url> <file name on the service> <curl.exe> <work folder> [rounds]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "net/RequestQueue.h"
#include "net/http/Session.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "tests/support/DebugOutput.h"
#include "tests/support/MessageSink.h"

namespace {

using test::Seconds;

// User plus kernel time of a process so far.
double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto value = [](FILETIME t) { return double((unsigned long long)t.dwHighDateTime << 32 | t.dwLowDateTime) / 1e7; };
    return value(kernel) + value(user);
}

// The machine's load, as Linux counts it (Wine shows / as Z:).
std::string LoadAverage() {
    HANDLE file = CreateFileW(L"Z:\\proc\\loadavg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "?";
    char text[64] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    std::string s(text, got);
    return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1));
}

// CPU seconds the whole machine has spent busy (all processes, all cores) and
// stolen by the host, as Linux counts them in /proc/stat (ticks of 10 ms).
struct MachineTimes {
    double busy = 0, steal = 0;
};
MachineTimes Machine() {
    MachineTimes times;
    HANDLE file = CreateFileW(L"Z:\\proc\\stat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return times;
    char text[256] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    sscanf(text, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system, &idle, &iowait, &irq, &softirq,
           &steal);
    times.busy = (user + nice + system + irq + softirq) / 100.0;
    times.steal = steal / 100.0;
    return times;
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Run {
    double seconds = -1;
    double cpu = -1;
};

// Writes size bytes in 1 MiB calls; fresh: into a new file (every block first
// touched), else over the blocks of an existing one of that size.
double RunWrite(const std::wstring& path, unsigned long long size, bool fresh) {
    if (fresh) DeleteFileW(path.c_str());
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, fresh ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    std::string chunk(1 << 20, 'x');
    double start = Seconds();
    for (unsigned long long done = 0; done < size; done += chunk.size()) {
        DWORD written;
        if (!WriteFile(file, chunk.data(), (DWORD)chunk.size(), &written, nullptr)) break;
    }
    CloseHandle(file);
    return Seconds() - start;
}

// Under a VM that hands free memory back to its host (free page reporting, a
// couple of seconds after it is freed), the first write into a new file pays
// a host fault per page: seconds for 512 MiB. Writing and deleting a file of
// the download's size just before each run gives every run the same, freshly
// freed page cache, whichever client ran before and however long ago.
void Prime(const std::wstring& folder, unsigned long long size) {
    std::wstring scratch = folder + L"\\prime.bin";
    RunWrite(scratch, size, true);
    DeleteFileW(scratch.c_str());
}

Run RunQueue(test::MessageSink& sink, const std::string& url, const std::wstring& target) {
    RequestQueue& queue = RequestQueue::Instance();
    DeleteFileW(target.c_str());
    Run run;
    double cpu = CpuSeconds(GetCurrentProcess());
    double start = Seconds();
    sink.completions.clear();
    queue.EnqueueRequest(url, {}, sink.Hwnd(), test::kDoneMessage, test::kProgressMessage, WideToUtf8(target));
    if (!sink.WaitForCompletions(1, 600000)) return run;
    run.seconds = Seconds() - start;
    run.cpu = CpuSeconds(GetCurrentProcess()) - cpu;
    const http::Response& r = sink.completions.at(0).record->response;
    if (r.status_code != 200 || r.error) {
        fprintf(stderr, "queue download failed: %ld %s\n", r.status_code, r.error.message.c_str());
        run.seconds = -1;
    }
    sink.completions.clear();
    return run;
}

Run RunCurl(const std::wstring& curlExe, const std::string& url, const std::wstring& target) {
    DeleteFileW(target.c_str());
    std::wstring command = L"\"" + curlExe + L"\" -s -f -o \"" + target + L"\" \"" + Utf8ToWide(url) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    Run run;
    double start = Seconds();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return run;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double elapsed = Seconds() - start;
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code == 0) run.seconds = elapsed;
    return run;
}

// One download through a bare session, the body thrown away: the service and
// the loopback without any file.
double RunDiscard(const std::string& url, long bufferSize, unsigned long long* bytes = nullptr) {
    http::Session session;
    session.SetUrl(url);
    session.SetBufferSize(bufferSize);
    session.SetWriteCallback([](std::string_view) { return true; });
    double start = Seconds();
    http::Response r = session.Get();
    if (bytes) *bytes = r.downloaded_bytes;
    return r.status_code == 200 && !r.error ? Seconds() - start : -1;
}

// What the queue does for a download, on this thread, with the time spent in
// file writes counted apart from the time spent receiving.
Run RunSessionToFile(const std::string& url, const std::wstring& target, double& writeSeconds) {
    DeleteFileW(target.c_str());
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    Run run;
    if (file == INVALID_HANDLE_VALUE) return run;
    writeSeconds = 0;
    http::Session session;
    session.SetUrl(url);
    session.SetBufferSize(1 << 20);
    session.SetWriteCallback([&](std::string_view chunk) {
        double t0 = Seconds();
        bool ok = WriteAll(file, chunk);
        writeSeconds += Seconds() - t0;
        return ok;
    });
    double cpu = CpuSeconds(GetCurrentProcess());
    double start = Seconds();
    http::Response r = session.Get();
    CloseHandle(file);
    if (r.status_code == 200 && !r.error) run.seconds = Seconds() - start;
    run.cpu = CpuSeconds(GetCurrentProcess()) - cpu;
    return run;
}

void PrintRate(const char* label, double mb, double seconds) {
    if (seconds < 0) {
        printf("  %-38s failed\n", label);
        return;
    }
    printf("  %-38s %8.1f MB/s  (%.2f s)\n", label, mb / seconds, seconds);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: QueueBench <base url> <file> <curl.exe> <work folder> [rounds]\n");
        return 2;
    }
    std::string base = WideToUtf8(argv[1]);
    std::string url = base + "/files/" + WideToUtf8(argv[2]);
    std::wstring curlExe = argv[3], folder = argv[4];
    int rounds = std::max(3, argc == 6 ? _wtoi(argv[5]) : 5);
    RequestQueue& queue = RequestQueue::Instance();
    test::MessageSink sink;

    // Warm up the queue's threads and curl before the idle reading.
    queue.EnqueueRequest(base + "/helper/ping", {}, sink.Hwnd(), test::kDoneMessage);
    sink.WaitForCompletions(1);
    sink.completions.clear();
    SIZE_T idle = Memory().WorkingSetSize;

    std::wstring queueTarget = folder + L"\\queue.bin", curlTarget = folder + L"\\curl.bin";
    double mb = 0;
    unsigned long long size = 0;
    // Also brings the service's copy of the file into its page cache, which
    // the first round would otherwise pay for alone.
    RunDiscard(url, 1 << 20, &size);
    // VANTORO_BENCH_NO_PRIME=1 shows the rounds as the machine leaves them.
    const bool prime = !GetEnvironmentVariableW(L"VANTORO_BENCH_NO_PRIME", nullptr, 0);
    std::vector<double> queueTimes, curlTimes;
    printf("load average at start %s\n", LoadAverage().c_str());
    // Alternating, so that neither client always meets a cold or a busy machine.
    for (int round = 0; round < rounds; ++round) {
        Run q, c;
        MachineTimes before = Machine();
        double roundStart = Seconds();
        auto queueRun = [&] {
            DeleteFileW(queueTarget.c_str());
            if (prime) Prime(folder, size);
            q = RunQueue(sink, url, queueTarget);
        };
        auto curlRun = [&] {
            DeleteFileW(curlTarget.c_str());
            if (prime) Prime(folder, size);
            c = RunCurl(curlExe, url, curlTarget);
        };
        if (round % 2 == 0) {
            queueRun();
            curlRun();
        } else {
            curlRun();
            queueRun();
        }
        if (q.seconds < 0 || c.seconds < 0) {
            fprintf(stderr, "round %d failed (queue %.2f s, curl.exe %.2f s)\n", round + 1, q.seconds, c.seconds);
            return 1;
        }
        mb = FileSize(queueTarget) / 1e6;
        queueTimes.push_back(q.seconds);
        curlTimes.push_back(c.seconds);
        MachineTimes after = Machine();
        double roundSeconds = Seconds() - roundStart;
        double writes = 0;
        Run bare = RunSessionToFile(url, folder + L"\\session.bin", writes);
        DeleteFileW((folder + L"\\session.bin").c_str());
        printf("round %d (%-8s first): queue %6.1f MB/s (%.2f s, cpu %.2f)  curl.exe %6.1f MB/s (%.2f s)  "
               "bare session %.2f s (writes %.2f s, cpu %.2f)  machine busy %.1f s, stolen %.1f s in its %.1f s\n",
               round + 1, round % 2 == 0 ? "queue" : "curl.exe", mb / q.seconds, q.seconds, q.cpu, mb / c.seconds,
               c.seconds, bare.seconds, writes, bare.cpu, after.busy - before.busy, after.steal - before.steal,
               roundSeconds);
    }
    SIZE_T peak = Memory().PeakWorkingSetSize;
    double queueMedian = Median(queueTimes), curlMedian = Median(curlTimes);

    printf("\nwhere a download's time goes (median of 3 each):\n");
    for (long buffer : {16L << 10, 256L << 10, 1L << 20, 4L << 20}) {
        std::vector<double> times;
        for (int i = 0; i < 3; ++i) times.push_back(RunDiscard(url, buffer));
        std::string label = "service -> memory, buffer " + std::to_string(buffer >> 10) + " KiB";
        PrintRate(label.c_str(), mb, Median(times));
    }
    // What a single run on a quiet machine meets: memory freed long ago.
    for (int i = 0; i < 2; ++i) {
        DeleteFileW(queueTarget.c_str());
        DeleteFileW(curlTarget.c_str());
        Sleep(6000);
        if (i == 0) PrintRate("queue after 6 s idle", mb, RunQueue(sink, url, queueTarget).seconds);
        else PrintRate("curl.exe after 6 s idle", mb, RunCurl(curlExe, url, curlTarget).seconds);
    }
    std::wstring scratch = folder + L"\\write.bin";
    std::vector<double> fresh, overwrite, cold;
    for (int i = 0; i < 3; ++i) {
        Prime(folder, size);
        fresh.push_back(RunWrite(scratch, size, true));
        overwrite.push_back(RunWrite(scratch, size, false));
        DeleteFileW(scratch.c_str());
        Sleep(6000);  // long enough for freed memory to go back to the host
        cold.push_back(RunWrite(scratch, size, true));
    }
    PrintRate("memory -> new file, memory just freed", mb, Median(fresh));
    PrintRate("memory -> new file, after 6 s idle", mb, Median(cold));
    PrintRate("memory -> same file again", mb, Median(overwrite));
    DeleteFileW(scratch.c_str());
    DeleteFileW(queueTarget.c_str());
    DeleteFileW(curlTarget.c_str());

    std::vector<double> latencies;
    for (int i = 0; i < 200; ++i) {
        double t0 = Seconds();
        queue.EnqueueRequest(base + "/helper/ping", {}, sink.Hwnd(), test::kDoneMessage);
        sink.WaitForCompletions(1);
        latencies.push_back((Seconds() - t0) * 1000);
        sink.completions.clear();
    }
    std::sort(latencies.begin(), latencies.end());

    printf("\ndownload %.0f MB, %d rounds, medians:\n", mb, rounds);
    printf("queue     %8.1f MB/s  (%.2f s)\n", mb / queueMedian, queueMedian);
    printf("curl.exe  %8.1f MB/s  (%.2f s)\n", mb / curlMedian, curlMedian);
    printf("ratio     %8.2f x  (goal >= 1.5; rounds range %.2f to %.2f)\n", curlMedian / queueMedian,
           *std::min_element(curlTimes.begin(), curlTimes.end()) / *std::max_element(queueTimes.begin(), queueTimes.end()),
           *std::max_element(curlTimes.begin(), curlTimes.end()) / *std::min_element(queueTimes.begin(), queueTimes.end()));
    printf("working set idle %.1f MiB, peak %.1f MiB, growth %.1f MiB  (goal <= 32)\n", idle / 1048576.0,
           peak / 1048576.0, (double(peak) - double(idle)) / 1048576.0);
    printf("small GET latency over 200: median %.2f ms, p95 %.2f ms  (goal median < 20)\n", latencies[100],
           latencies[190]);
    return 0;
}
