// Guards progress figures written by a worker and read by the polling caller.
// Shared holders never block each other; both sides spin with a yield.
#pragma once

#include <atomic>
#include <mutex>

namespace tavo {

class SharedExclusiveLock {
public:
    virtual ~SharedExclusiveLock() = default;
    void enterShared();
    void leaveShared();
    void enterExclusive();
    void leaveExclusive();

private:
    std::atomic<int> sharedCount_{0};
    std::atomic<int> exclusiveCount_{0};
    std::mutex exclusiveMutex_;
};

class SharedGuard {
public:
    explicit SharedGuard(SharedExclusiveLock& lock) : lock_(lock) { lock_.enterShared(); }
    ~SharedGuard() { lock_.leaveShared(); }
    SharedGuard(const SharedGuard&) = delete;
    SharedGuard& operator=(const SharedGuard&) = delete;

private:
    SharedExclusiveLock& lock_;
};

class ExclusiveGuard {
public:
    explicit ExclusiveGuard(SharedExclusiveLock& lock) : lock_(lock) { lock_.enterExclusive(); }
    ~ExclusiveGuard() { lock_.leaveExclusive(); }
    ExclusiveGuard(const ExclusiveGuard&) = delete;
    ExclusiveGuard& operator=(const ExclusiveGuard&) = delete;

private:
    SharedExclusiveLock& lock_;
};

}  // namespace tavo
