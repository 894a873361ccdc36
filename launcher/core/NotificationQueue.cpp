#include "core/NotificationQueue.h"

namespace zanth {

void NotificationQueue::post(Notification message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(std::move(message));
    }
    arrived_.notify_one();
}

std::optional<Notification> NotificationQueue::waitNext(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !messages_.empty(); })) return std::nullopt;
    Notification message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

std::optional<Notification> NotificationQueue::tryNext() {
    return waitNext(std::chrono::milliseconds(0));
}

}  // namespace zanth
