#include "RequestSlot.h"

#include "http/HttpRequest.h"
#include "http/HttpSession.h"

namespace tavo {

HttpRequest* RequestSlot::create() {
    release();
    if (http_ == nullptr) return nullptr;
    HttpRequest* request = http_->createRequest();
    std::lock_guard<std::mutex> guard(mutex_);
    request_ = request;
    return request;
}

void RequestSlot::release() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (request_ && http_) http_->releaseRequest(request_);
    request_ = nullptr;
}

void RequestSlot::cancel() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (request_) request_->cancel();
}

}  // namespace tavo
