#pragma once
// The lock behind a canvas: recursive, so the thread that holds it may lock again, and counted,
// so that the count can be read and an Unlock without a Lock does nothing.
#include <atomic>
#include <mutex>

class CountedLock {
  public:
    void Lock() {
        lock_.lock();
        count_.fetch_add(1);
    }
    void Unlock() {
        if (count_.load() <= 0) return;
        count_.fetch_sub(1);
        lock_.unlock();
    }
    int Count() const { return count_.load(); }

  private:
    std::recursive_mutex lock_;
    std::atomic<int> count_{0};
};
