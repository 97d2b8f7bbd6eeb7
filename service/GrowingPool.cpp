#include "GrowingPool.h"

#include <system_error>

void GrowingPool::enqueue(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (jobs_.size() > idle_ && threads_.size() < maxThreads_) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                // Out of threads: the job waits for one of those running.
            }
        }
    }
    wake_.notify_one();
}

void GrowingPool::shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads) thread.join();
}

void GrowingPool::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
        --idle_;
        if (jobs_.empty()) return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}
