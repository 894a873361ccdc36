// The lock-free event queue: capacity, order, and no loss or duplication when
// several threads push and pop at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "http/RingQueue.h"

namespace tavo {
namespace {

TEST(RingQueueTest, HoldsOneLessThanItsSlotsInOrder) {
    RingQueue<uint32_t> queue(257);
    uint32_t value = 0;
    EXPECT_FALSE(queue.pop(value));
    for (uint32_t i = 0; i < 256; ++i) ASSERT_TRUE(queue.push(i)) << i;
    EXPECT_FALSE(queue.push(999));
    EXPECT_EQ(queue.count(), 256u);
    for (uint32_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(queue.pop(value));
        EXPECT_EQ(value, i);
    }
    // Wrapping around the end of the buffer keeps the order.
    for (uint32_t i = 256; i < 356; ++i) ASSERT_TRUE(queue.push(i));
    EXPECT_EQ(queue.count(), 256u);
    for (uint32_t i = 100; i < 356; ++i) {
        ASSERT_TRUE(queue.pop(value));
        EXPECT_EQ(value, i);
    }
    EXPECT_FALSE(queue.pop(value));
    EXPECT_EQ(queue.count(), 0u);
}

TEST(RingQueueTest, ConcurrentProducersAndConsumersLoseNothing) {
    constexpr uint32_t kProducers = 3;
    constexpr uint32_t kConsumers = 2;
    constexpr uint32_t kEach = 20000;
    RingQueue<uint32_t> queue(17);
    std::vector<std::atomic<int>> seen(kProducers * kEach);
    std::atomic<uint32_t> taken{0};
    std::vector<std::thread> threads;
    for (uint32_t p = 0; p < kProducers; ++p)
        threads.emplace_back([&, p] {
            for (uint32_t i = 0; i < kEach; ++i)
                while (!queue.push(p * kEach + i)) std::this_thread::yield();
        });
    for (uint32_t c = 0; c < kConsumers; ++c)
        threads.emplace_back([&] {
            uint32_t value = 0;
            while (taken.load() < kProducers * kEach) {
                if (!queue.pop(value)) {
                    std::this_thread::yield();
                    continue;
                }
                seen[value].fetch_add(1);
                taken.fetch_add(1);
            }
        });
    for (std::thread& t : threads) t.join();
    for (uint32_t v = 0; v < kProducers * kEach; ++v) ASSERT_EQ(seen[v].load(), 1) << v;
    EXPECT_EQ(queue.count(), 0u);
}

}  // namespace
}  // namespace tavo
