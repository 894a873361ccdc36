#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/SharedExclusiveLock.h"
#include "platform/WorkerThread.h"

namespace {

using tavo::ExclusiveGuard;
using tavo::SharedExclusiveLock;
using tavo::SharedGuard;

// Generous: only a hang should ever hit it.
bool eventually(const std::atomic<bool>& flag) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!flag.load()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        tavo::sleepMs(1);
    }
    return true;
}

// Two plain 64-bit figures, as the progress records hold them.
struct Figures {
    uint64_t done = 0;
    uint64_t total = 0;
};

TEST(SharedExclusiveLockTest, ReadersNeverSeeTornFiguresAndWritersExcludeEachOther) {
    constexpr int kWrites = 5000;
    SharedExclusiveLock lock;
    Figures figures;
    std::atomic<int> writersDone{0};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};

    auto writer = [&] {
        for (int i = 0; i < kWrites; ++i) {
            ExclusiveGuard guard(lock);
            figures.done += 1;
            tavo::yieldThread();  // widen the gap a reader could fall into
            figures.total += 1;
        }
        writersDone.fetch_add(1);
    };
    auto reader = [&] {
        while (writersDone.load() < 2) {
            SharedGuard guard(lock);
            if (figures.done != figures.total) torn.fetch_add(1);
            reads.fetch_add(1);
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(writer);
    threads.emplace_back(writer);
    threads.emplace_back(reader);
    threads.emplace_back(reader);
    for (auto& t : threads) t.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(figures.done, 2u * kWrites);
    EXPECT_EQ(figures.total, 2u * kWrites);
}

TEST(SharedExclusiveLockTest, SharedHoldersCoexist) {
    SharedExclusiveLock lock;
    lock.enterShared();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        SharedGuard guard(lock);
        entered.store(true);
    });
    EXPECT_TRUE(eventually(entered));
    other.join();
    lock.leaveShared();
}

TEST(SharedExclusiveLockTest, ExclusiveWaitsForSharedHolderAndBack) {
    SharedExclusiveLock lock;
    lock.enterShared();
    std::atomic<bool> entered{false};
    std::thread writer([&] {
        ExclusiveGuard guard(lock);
        entered.store(true);
    });
    tavo::sleepMs(50);
    EXPECT_FALSE(entered.load());
    lock.leaveShared();
    EXPECT_TRUE(eventually(entered));
    writer.join();

    lock.enterExclusive();
    std::atomic<bool> readerIn{false};
    std::thread reader([&] {
        SharedGuard guard(lock);
        readerIn.store(true);
    });
    tavo::sleepMs(50);
    EXPECT_FALSE(readerIn.load());
    lock.leaveExclusive();
    EXPECT_TRUE(eventually(readerIn));
    reader.join();
}

}  // namespace
