// The current request of a download step, shared by the thread that drives the
// step and a caller that may cancel it at any time.
#pragma once

#include <mutex>

namespace tavo {

class HttpRequest;
class HttpSession;

class RequestSlot {
public:
    explicit RequestSlot(HttpSession* http) : http_(http) {}
    ~RequestSlot() { release(); }
    RequestSlot(const RequestSlot&) = delete;
    RequestSlot& operator=(const RequestSlot&) = delete;

    HttpSession* http() const { return http_; }
    // The previous request is released first. Null when none can be created.
    HttpRequest* create();
    // Gives the request back to the session; a request still in flight is
    // cancelled there and its handlers no longer run.
    void release();
    void cancel();
    // Only the driving thread, which alone creates and releases, reads it.
    HttpRequest* get() const { return request_; }

private:
    HttpSession* http_;
    std::mutex mutex_;
    HttpRequest* request_ = nullptr;
};

}  // namespace tavo
