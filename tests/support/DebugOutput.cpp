#include "tests/support/DebugOutput.h"

#include <cstring>

namespace test {

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

DebugOutputMonitor::DebugOutputMonitor(std::vector<std::string> marks)
    : marks_(std::move(marks)), seenAt_(marks_.size()) {}

DebugOutputMonitor::~DebugOutputMonitor() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool DebugOutputMonitor::Start() {
    mutex_.reset(CreateMutexW(nullptr, FALSE, L"DBWinMutex"));
    bufferReady_.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
    dataReady_.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER"));
    if (!mutex_ || !bufferReady_ || !dataReady_ || !mapping_) return false;
    view_ = MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 4096);
    if (!view_) return false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DebugOutputMonitor::Watch(DWORD processId) {
    for (auto& seen : seenAt_) seen = 0;
    std::lock_guard lock(traceMutex_);
    trace_.clear();
    processId_ = processId;
}

std::map<std::string, double> DebugOutputMonitor::Trace() const {
    std::lock_guard lock(traceMutex_);
    return trace_;
}

void DebugOutputMonitor::Run() {
    SetEvent(bufferReady_.get());
    while (!stop_) {
        if (WaitForSingleObject(dataReady_.get(), 50) != WAIT_OBJECT_0) continue;
        double now = Seconds();
        const auto* buffer = static_cast<const char*>(view_);
        DWORD sender;
        std::memcpy(&sender, buffer, sizeof sender);
        std::string text(buffer + sizeof sender, strnlen(buffer + sizeof sender, 4096 - sizeof sender));
        DWORD watched = processId_;
        if (!watched || sender == watched) {
            for (size_t i = 0; i < marks_.size(); ++i)
                if (!seenAt_[i] && text.find(marks_[i]) != std::string::npos) seenAt_[i] = now;
            if (text.rfind("trace: ", 0) == 0) {
                std::string label = text.substr(7, text.find_last_not_of("\r\n") - 6);
                std::lock_guard lock(traceMutex_);
                trace_.emplace(label, now);
            }
        }
        SetEvent(bufferReady_.get());
    }
    UnmapViewOfFile(view_);
}

}  // namespace test
