// httplib's task queue, with threads made as connections need them. Every
// open connection holds a thread while it waits for its next request, so a
// small fixed pool is starved by a few hundred idle clients and stops
// answering anyone.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class GrowingPool : public httplib::TaskQueue {
public:
    explicit GrowingPool(size_t maxThreads) : maxThreads_(maxThreads) {}
    ~GrowingPool() override { shutdown(); }

    void enqueue(std::function<void()> job) override;
    // Runs the jobs already queued, then joins every thread.
    void shutdown() override;

private:
    void Work();

    const size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    size_t idle_ = 0;
    bool stopping_ = false;
};
