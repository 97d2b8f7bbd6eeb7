// What the benchmarks read from the programs they time: a steady clock, and
// the text processes write with OutputDebugString, received through the
// shared buffer that debug-output monitors use (no debugger attached).
#pragma once
#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

// Seconds on the performance counter.
double Seconds();

// Notes when each of its marks (text anywhere in a line) and each "trace: "
// line first reached the buffer from the watched process.
class DebugOutputMonitor {
public:
    explicit DebugOutputMonitor(std::vector<std::string> marks = {});
    ~DebugOutputMonitor();

    bool Start();
    // Forgets what was seen; from now on only processId's lines count (0: any process's).
    void Watch(DWORD processId);
    // When mark i was seen, or 0.
    double SeenAt(size_t i) const { return seenAt_[i]; }
    // Each "trace: " line (without the prefix), when it was first seen.
    std::map<std::string, double> Trace() const;

private:
    struct HandleCloser {
        void operator()(HANDLE handle) const { CloseHandle(handle); }
    };
    using Handle = std::unique_ptr<void, HandleCloser>;

    void Run();

    std::vector<std::string> marks_;
    std::vector<std::atomic<double>> seenAt_;
    std::atomic<DWORD> processId_{0};
    std::atomic<bool> stop_{false};
    mutable std::mutex traceMutex_;
    std::map<std::string, double> trace_;
    Handle mutex_, bufferReady_, dataReady_, mapping_;
    void* view_ = nullptr;
    std::thread thread_;
};

}  // namespace test
