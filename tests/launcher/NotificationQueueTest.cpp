// The queue that carries an update run's messages to their receiver.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/NotificationQueue.h"

using namespace zanth;

TEST(NotificationQueue, ReceiverGetsRecordsInPostingOrder) {
    NotificationQueue queue;
    {
        DownloadInfo info;
        info.doneSize = 50;
        info.totalSize = 100;
        queue.post(Notification{PATCH_NOTIFY_DOWNLOAD_INFO, 0, info});
        RestTimeInfo rest;
        rest.minutes = 3;
        std::snprintf(rest.patchCount, sizeof rest.patchCount, "002/005");
        queue.post(Notification{PATCH_NOTIFY_REST_TIME, 0, rest});
        queue.post(Notification{PATCH_NOTIFY_ERROR_TEXT, 0, NotifyText{std::string(3000, 'x')}});
        queue.post(Notification{PATCH_NOTIFY_STATUS, kStatusFinished, {}});
    }  // everything the poster had is gone; the queue holds the records

    auto first = queue.tryNext();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->wParam, PATCH_NOTIFY_DOWNLOAD_INFO);
    EXPECT_EQ(std::get<DownloadInfo>(first->payload).doneSize, 50u);
    EXPECT_EQ(std::get<DownloadInfo>(first->payload).type, 5);
    auto second = queue.tryNext();
    ASSERT_TRUE(second);
    EXPECT_STREQ(std::get<RestTimeInfo>(second->payload).patchCount, "002/005");
    auto third = queue.tryNext();
    ASSERT_TRUE(third);
    EXPECT_EQ(std::get<NotifyText>(third->payload).text.size(), 3000u);
    auto fourth = queue.tryNext();
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->value, kStatusFinished);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(fourth->payload));
    EXPECT_FALSE(queue.tryNext());
}

TEST(NotificationQueue, WaitingReceiverSeesEveryMessageOfConcurrentPosters) {
    NotificationQueue queue;
    constexpr int kPosters = 3;
    constexpr int kEach = 2000;
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&queue, p] {
            for (int i = 0; i < kEach; ++i)
                queue.post(Notification{p, i, NotifyText{std::to_string(i)}});
        });
    }
    std::vector<int> next(kPosters, 0);
    for (int received = 0; received < kPosters * kEach; ++received) {
        auto m = queue.waitNext(std::chrono::seconds(10));
        ASSERT_TRUE(m);
        ASSERT_EQ(m->value, next[m->wParam]) << "poster " << m->wParam << " out of order";
        ASSERT_EQ(std::get<NotifyText>(m->payload).text, std::to_string(m->value));
        ++next[m->wParam];
    }
    for (std::thread& t : posters) t.join();
    EXPECT_FALSE(queue.waitNext(std::chrono::milliseconds(20)));
}
