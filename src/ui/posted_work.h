#pragma once
// Work handed to the UI thread by other threads: a queue that any thread may add to and
// that the UI thread empties, in the order the work was posted. The backends decide when
// the UI thread looks (a window message on Win32, the virtual clock in the headless one).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace quorvel::ui {

class PostedWork {
public:
    // Any thread.
    void post(std::function<void()> work) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(work));
        }
        arrived_.notify_all();
    }

    // The UI thread: runs everything posted so far, and whatever the work itself posts;
    // returns how many ran. The lock is not held while work runs.
    int runAll() {
        int ran = 0;
        for (;;) {
            std::function<void()> work;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return ran;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
            ++ran;
        }
    }

    // Waits until work is queued or `timeout` has passed; returns whether work is queued.
    bool waitForWork(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace quorvel::ui
