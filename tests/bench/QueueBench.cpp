// Prints the request queue's figures: download rate against curl.exe built
// from the same libcurl, working-set growth during a big download, and the
// latency from enqueue to completion message for small requests.
//   QueueBench <base url> <file name on the service> <curl.exe> <work folder>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "net/RequestQueue.h"
#include "platform/Text.h"
#include "tests/support/MessageSink.h"

namespace {

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
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

double RunCurl(const std::wstring& curlExe, const std::string& url, const std::wstring& target) {
    std::wstring command = L"\"" + curlExe + L"\" -s -f -o \"" + target + L"\" \"" + Utf8ToWide(url) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    double start = Seconds();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double elapsed = Seconds() - start;
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0 ? elapsed : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: QueueBench <base url> <file> <curl.exe> <work folder>\n");
        return 2;
    }
    std::string base = WideToUtf8(argv[1]);
    std::string url = base + "/files/" + WideToUtf8(argv[2]);
    std::wstring curlExe = argv[3], folder = argv[4];
    RequestQueue& queue = RequestQueue::Instance();
    test::MessageSink sink;

    // Warm up the queue's threads and curl before the idle reading.
    queue.EnqueueRequest(base + "/helper/ping", {}, sink.Hwnd(), test::kDoneMessage);
    sink.WaitForCompletions(1);
    sink.completions.clear();
    SIZE_T idle = Memory().WorkingSetSize;

    std::wstring target = folder + L"\\queue.bin";
    double start = Seconds();
    queue.EnqueueRequest(url, {}, sink.Hwnd(), test::kDoneMessage, test::kProgressMessage, WideToUtf8(target));
    sink.WaitForCompletions(1, 600000);
    double queueSeconds = Seconds() - start;
    SIZE_T peak = Memory().PeakWorkingSetSize;
    const http::Response& r = sink.completions.at(0).record->response;
    if (r.status_code != 200 || r.error) {
        fprintf(stderr, "queue download failed: %ld %s\n", r.status_code, r.error.message.c_str());
        return 1;
    }
    double mb = FileSize(target) / 1e6;
    DeleteFileW(target.c_str());
    sink.completions.clear();

    std::wstring curlTarget = folder + L"\\curl.bin";
    double curlSeconds = RunCurl(curlExe, url, curlTarget);
    DeleteFileW(curlTarget.c_str());
    if (curlSeconds < 0) {
        fprintf(stderr, "curl.exe failed\n");
        return 1;
    }

    std::vector<double> latencies;
    for (int i = 0; i < 200; ++i) {
        double t0 = Seconds();
        queue.EnqueueRequest(base + "/helper/ping", {}, sink.Hwnd(), test::kDoneMessage);
        sink.WaitForCompletions(1);
        latencies.push_back((Seconds() - t0) * 1000);
        sink.completions.clear();
    }
    std::sort(latencies.begin(), latencies.end());

    printf("download %.0f MB\n", mb);
    printf("queue     %8.1f MB/s  (%.2f s)\n", mb / queueSeconds, queueSeconds);
    printf("curl.exe  %8.1f MB/s  (%.2f s)\n", mb / curlSeconds, curlSeconds);
    printf("ratio     %8.2f x  (goal >= 1.5)\n", curlSeconds / queueSeconds);
    printf("working set idle %.1f MiB, peak %.1f MiB, growth %.1f MiB  (goal <= 32)\n", idle / 1048576.0,
           peak / 1048576.0, (double(peak) - double(idle)) / 1048576.0);
    printf("small GET latency over 200: median %.2f ms, p95 %.2f ms  (goal median < 20)\n", latencies[100],
           latencies[190]);
    return 0;
}
