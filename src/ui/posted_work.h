#pragma once
// Work handed to the UI thread by other threads: a queue that any thread may add to and
// that the UI thread empties, in the order the work was posted. The backends decide when
// the UI thread looks (a window message on Win32, the virtual clock in the headless one).
//
// The UI thread runs the queue in slices of at most kSliceMs, never past the key poll's
// next tick: however much is posted (a flood of remote requests), the poll ticks on time
// and the painting after it happens, and the work waits for the next slice instead. The
// backends share this rule so that the headless tests see the order of the real program.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace quorvel::ui {

class PostedWork {
public:
    // The longest stretch of posted work, in milliseconds: well inside the 10 ms poll.
    static constexpr long long kSliceMs = 8;

    // When a slice that starts at `now` ends: after kSliceMs, or when the next timer tick
    // is due if that comes first.
    static long long sliceEnd(long long now, std::optional<long long> nextTick) {
        const long long end = now + kSliceMs;
        return nextTick && *nextTick < end ? *nextTick : end;
    }

    // Any thread. Returns whether the queue was empty, so that the caller wakes the UI
    // thread once for a batch rather than once for each piece of work.
    bool post(std::function<void()> work) {
        bool wasEmpty = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            wasEmpty = queue_.empty();
            queue_.push_back(std::move(work));
        }
        arrived_.notify_all();
        return wasEmpty;
    }

    // The UI thread: runs the work in the order posted, and whatever the work itself
    // posts, until the queue is empty or `clock()` has reached `end` (checked after each
    // piece, so at least one runs). Returns whether work is left for another slice. The
    // lock is not held while work runs.
    template <class Clock>
    bool runUntil(Clock&& clock, long long end) {
        for (;;) {
            if (!runOne()) return false;
            if (clock() >= end) return pending();
        }
    }

    // The UI thread: runs everything posted so far, and whatever the work itself posts;
    // returns how many ran.
    int runAll() {
        int ran = 0;
        while (runOne()) ++ran;
        return ran;
    }

    bool pending() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return !queue_.empty();
    }

    // Waits until work is queued or `timeout` has passed; returns whether work is queued.
    bool waitForWork(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    }

private:
    // Runs the oldest piece of work; false when there was none.
    bool runOne() {
        std::function<void()> work;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty()) return false;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
        return true;
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace quorvel::ui
