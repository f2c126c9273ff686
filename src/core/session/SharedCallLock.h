#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// The lock that threads sharing one card library hold around each call. It is recursive,
// as a window may hold it across several calls, and a call that waits on the device (a
// simulated card's latency) can give it up for the wait, so that the other threads' calls
// go on meanwhile instead of queueing behind a sleeping one.
class SharedCallLock {
  public:
    void lock() {
        std::unique_lock guard(mutex_);
        if (owner_ == std::this_thread::get_id()) {
            ++depth_;
            return;
        }
        free_.wait(guard, [this] { return depth_ == 0; });
        owner_ = std::this_thread::get_id();
        depth_ = 1;
    }

    void unlock() {
        std::lock_guard guard(mutex_);
        if (--depth_ == 0) {
            owner_ = {};
            free_.notify_one();
        }
    }

    // Runs `wait` with the lock released when the calling thread holds it, and takes it back
    // as deeply as it was held before; a thread that does not hold it just runs `wait`.
    template <class Wait>
    void ReleasedDuring(Wait&& wait) {
        std::unique_lock guard(mutex_);
        if (owner_ != std::this_thread::get_id()) {
            guard.unlock();
            wait();
            return;
        }
        const int held = depth_;
        depth_ = 0;
        owner_ = {};
        free_.notify_one();
        guard.unlock();
        wait();
        guard.lock();
        free_.wait(guard, [this] { return depth_ == 0; });
        owner_ = std::this_thread::get_id();
        depth_ = held;
    }

  private:
    std::mutex mutex_;
    std::condition_variable free_;
    std::thread::id owner_;
    int depth_ = 0;
};
