// Bounded multi-producer multi-consumer queue without locks. One slot stays
// free, so a queue of N slots holds at most N - 1 elements.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "platform/WorkerThread.h"

namespace tavo {

template <class T>
class RingQueue {
    static_assert(std::is_trivially_copyable_v<T>, "elements are copied as bytes");

public:
    explicit RingQueue(uint32_t slots) : slots_(slots), buffer_(std::make_unique<T[]>(slots)) {}
    RingQueue(const RingQueue&) = delete;
    RingQueue& operator=(const RingQueue&) = delete;

    // False when the queue is full.
    bool push(const T& element) {
        uint32_t reserved;
        uint32_t next;
        for (;;) {
            reserved = writeReserve_.load();
            next = (reserved + 1) % slots_;
            if (next == readCommit_.load()) return false;
            if (writeReserve_.compare_exchange_weak(reserved, next)) break;
            yieldThread();
        }
        buffer_[reserved] = element;
        // Producers publish in reservation order.
        while (writeCommit_.load() != reserved) yieldThread();
        writeCommit_.store(next);
        return true;
    }

    // False when the queue is empty or another consumer took the element.
    bool pop(T& element) {
        uint32_t taken = readReserve_.load();
        if (taken == writeCommit_.load()) return false;
        uint32_t next = (taken + 1) % slots_;
        if (!readReserve_.compare_exchange_strong(taken, next)) return false;
        element = buffer_[taken];
        while (readCommit_.load() != taken) yieldThread();
        readCommit_.store(next);
        return true;
    }

    uint32_t count() const {
        return (writeCommit_.load() + slots_ - readCommit_.load()) % slots_;
    }
    uint32_t slots() const { return slots_; }

private:
    const uint32_t slots_;
    std::unique_ptr<T[]> buffer_;
    std::atomic<uint32_t> writeReserve_{0};
    std::atomic<uint32_t> writeCommit_{0};
    std::atomic<uint32_t> readReserve_{0};
    std::atomic<uint32_t> readCommit_{0};
};

}  // namespace tavo
