#include "HttpSession.h"

#include <algorithm>
#include <utility>

#include "HttpCodes.h"
#include "HttpRequest.h"
#include "platform/ErrorStack.h"
#include "platform/WorkerThread.h"

namespace tavo {

HttpSession::HttpSession() = default;

HttpSession::~HttpSession() { close(); }

bool HttpSession::open(const char* userAgent) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (handle_) {
        resetError(kErrHttpSessionAlreadyOpen);
        return false;
    }
    userAgent_ = userAgent ? userAgent : "";
    handle_ = httpOpen(userAgent_.c_str());
    return handle_ != nullptr;
}

bool HttpSession::isOpen() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return handle_ != nullptr;
}

HttpRequest* HttpSession::createRequest() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!handle_) {
        resetError(kErrHttpSessionNotOpen);
        return nullptr;
    }
    active_.push_back(std::unique_ptr<HttpRequest>(new HttpRequest(*this)));
    return active_.back().get();
}

void HttpSession::releaseRequest(HttpRequest*& request) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto it = std::find_if(active_.begin(), active_.end(),
                           [request](const auto& owned) { return owned.get() == request; });
    if (!request || it == active_.end()) return;
    std::unique_ptr<HttpRequest> owned = std::move(*it);
    active_.erase(it);
    request = nullptr;
    owned->close();
    // The owner has let go: handlers that point into it must not run again.
    owned->detachHandlers();
    if (owned->state() != HttpRequest::Closed || owned.get() == inProcess_)
        closing_.push_back(std::move(owned));
}

bool HttpSession::isListed(const HttpRequest* request) const {
    auto same = [request](const auto& owned) { return owned.get() == request; };
    return std::any_of(active_.begin(), active_.end(), same) ||
           std::any_of(closing_.begin(), closing_.end(), same);
}

// Handlers may create or release requests meanwhile, so the list is copied
// and each request is looked up again before it runs.
int HttpSession::pumpList(const RequestList& list) {
    std::vector<HttpRequest*> snapshot;
    for (const auto& owned : list)
        if (owned->wasSent()) snapshot.push_back(owned.get());
    int processed = 0;
    for (HttpRequest* request : snapshot) {
        if (!isListed(request)) continue;
        inProcess_ = request;
        if (request->processEvents()) ++processed;
        inProcess_ = nullptr;
    }
    return processed;
}

void HttpSession::deleteIdleClosing() {
    for (std::size_t i = 0; i < closing_.size();) {
        if (closing_[i]->isBusy()) {
            ++i;
            continue;
        }
        std::unique_ptr<HttpRequest> owned = std::move(closing_[i]);
        closing_.erase(closing_.begin() + static_cast<std::ptrdiff_t>(i));
        owned->close();
    }
}

bool HttpSession::pump() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    int processed = pumpList(active_);
    processed += pumpList(closing_);
    if (!closing_.empty()) deleteIdleClosing();
    clearErrors();
    return processed > 0;
}

void HttpSession::close() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!handle_) return;
    while (!active_.empty()) {
        HttpRequest* request = active_.back().get();
        releaseRequest(request);
    }
    while (!closing_.empty())
        if (!pump()) sleepMs(1);
    httpCloseHandle(std::exchange(handle_, nullptr));
}

}  // namespace tavo
