// Shared pieces of the HTTP exchange tests: a recorder for every handler of a
// request, waiting helpers and the error stack read newest first (the order
// tavoPatchGetErrorCodes hands out).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "http/HttpRequest.h"
#include "platform/ErrorStack.h"

namespace tavotest {

inline std::vector<int> codesNewestFirst() {
    std::vector<int> codes;
    tavo::copyErrors(codes);
    return codes;
}

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// What the handlers of one request saw. Handlers run on the pump thread, the
// test reads on its own thread: everything goes through the mutex.
class ExchangeRecord {
public:
    void install(tavo::HttpRequest& request) {
        request.setOnHeaders([this](tavo::HttpRequest&, const tavo::HttpResponseStatus& status,
                                    const tavo::HttpHeaders&) {
            std::lock_guard<std::mutex> guard(mutex_);
            statusCode_ = status.statusCode();
            return true;
        });
        request.setOnBodyData([this](tavo::HttpRequest&, const char* data, uint32_t length) {
            std::lock_guard<std::mutex> guard(mutex_);
            body_.append(data, length);
            pieces_.push_back(length);
            return true;
        });
        request.setOnComplete([this](tavo::HttpRequest&, uint32_t total) {
            std::lock_guard<std::mutex> guard(mutex_);
            completions_.push_back(total);
            return true;
        });
        request.setOnStateChange([this](tavo::HttpRequest&, int32_t now, int32_t before) {
            std::lock_guard<std::mutex> guard(mutex_);
            states_.emplace_back(now, before);
        });
        request.setOnFinish([this](tavo::HttpRequest&, int lastCode) {
            finishCode_.store(lastCode);
            finishes_.fetch_add(1);
        });
    }

    int statusCode() const { std::lock_guard<std::mutex> g(mutex_); return statusCode_; }
    std::string body() const { std::lock_guard<std::mutex> g(mutex_); return body_; }
    std::vector<uint32_t> pieces() const { std::lock_guard<std::mutex> g(mutex_); return pieces_; }
    std::vector<uint32_t> completions() const { std::lock_guard<std::mutex> g(mutex_); return completions_; }
    std::vector<std::pair<int32_t, int32_t>> states() const { std::lock_guard<std::mutex> g(mutex_); return states_; }
    int finishes() const { return finishes_.load(); }
    int finishCode() const { return finishCode_.load(); }

private:
    mutable std::mutex mutex_;
    int statusCode_ = 0;
    std::string body_;
    std::vector<uint32_t> pieces_;
    std::vector<uint32_t> completions_;
    std::vector<std::pair<int32_t, int32_t>> states_;
    std::atomic<int> finishes_{0};
    std::atomic<int> finishCode_{0};
};

}  // namespace tavotest
