// Thread-safe FIFO that carries an update run's messages to whoever drains
// it. Posting never waits for the receiver; a posted record belongs to the
// receiver from then on (the queue holds it for the receiver and releases it
// when it is destroyed undrained).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "core/PatchNotify.h"

namespace zanth {

class NotificationQueue {
public:
    void post(Notification message);
    // The oldest message, waiting at most timeout; nothing when none came.
    std::optional<Notification> waitNext(std::chrono::milliseconds timeout);
    std::optional<Notification> tryNext();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Notification> messages_;
};

}  // namespace zanth
