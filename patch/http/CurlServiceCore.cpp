// The service thread: runs the multi handle, hands out completions and
// enforces the no-progress time-out.
#include <pthread.h>

#include <algorithm>

#include "CurlService.h"
#include "HttpTimeouts.h"
#include "ServiceErrors.h"

namespace tavo {

namespace {
// Upper bound of one wait; also the resolution of the no-progress time-out.
constexpr int kPollMs = 50;
}  // namespace

ServiceCore::ServiceCore(std::string userAgent) : userAgent_(std::move(userAgent)) {}

ServiceCore::~ServiceCore() {
    stop();
    if (multi_) curl_multi_cleanup(multi_);
}

bool ServiceCore::start() {
    multi_ = curl_multi_init();
    if (!multi_) return false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        return false;
    }
    return true;
}

void ServiceCore::stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    if (multi_) curl_multi_wakeup(multi_);
    if (thread_.joinable()) thread_.join();
}

ServiceRequest* ServiceCore::createRequest(const std::string& host, uint16_t port,
                                           const std::string& verb, const std::string& path,
                                           bool secure) {
    auto request = std::make_unique<ServiceRequest>(*this, host, port, verb, path, secure);
    if (!request->easy()) {
        setServiceError(kWinHttpOutOfHandles);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopping_ || stopped_) {
        setServiceError(kWinInvalidHandle);
        return nullptr;
    }
    ServiceRequest* raw = request.get();
    requests_.emplace(raw, std::move(request));
    return raw;
}

void ServiceCore::post(CommandKind kind, ServiceRequest* request) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        commands_.push_back({kind, request});
    }
    curl_multi_wakeup(multi_);
}

void ServiceCore::markDirty(ServiceRequest* request) {
    if (request->markDirty()) dirty_.push_back(request);
}

void ServiceCore::run() {
    pthread_setname_np(pthread_self(), "HttpService");
    for (;;) {
        bool stopping = runCommands();
        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);
        collectFinished();
        checkTimeouts();
        deliverDirty();
        if (stopping) break;
        curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
    }
    closeAll();
}

// Returns true once a stop was asked for and no command is left.
bool ServiceCore::runCommands() {
    std::vector<Command> commands;
    bool stopping;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        commands.swap(commands_);
        stopping = stopping_;
    }
    for (const Command& command : commands) {
        ServiceRequest* request = command.request;
        switch (command.kind) {
        case CommandKind::Start:
            if (curl_multi_add_handle(multi_, request->easy()) == CURLM_OK) {
                running_.push_back(request);
            } else {
                request->finished(CURLE_FAILED_INIT);
                markDirty(request);
            }
            break;
        case CommandKind::Resume:
            request->resume();
            break;
        case CommandKind::Close:
            closeRequest(request);
            break;
        }
    }
    if (!stopping) return false;
    std::lock_guard<std::mutex> guard(mutex_);
    return commands_.empty();
}

void ServiceCore::collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        CURLcode result = message->data.result;
        auto it = std::find_if(running_.begin(), running_.end(),
                               [easy](ServiceRequest* r) { return r->easy() == easy; });
        if (it == running_.end()) continue;
        ServiceRequest* request = *it;
        running_.erase(it);
        curl_multi_remove_handle(multi_, easy);
        request->finished(result);
        markDirty(request);
    }
}

void ServiceCore::checkTimeouts() {
    const int64_t now = serviceNowMs();
    const uint32_t limit = currentHttpTimeouts().noProgressMs;
    for (auto it = running_.begin(); it != running_.end();) {
        ServiceRequest* request = *it;
        if (!request->checkTimeout(now, limit)) {
            ++it;
            continue;
        }
        it = running_.erase(it);
        curl_multi_remove_handle(multi_, request->easy());
        request->finished(CURLE_OPERATION_TIMEDOUT);
        markDirty(request);
    }
}

void ServiceCore::deliverDirty() {
    std::vector<ServiceRequest*> dirty;
    dirty.swap(dirty_);
    for (ServiceRequest* request : dirty) {
        request->takeDirtyMark();
        request->deliver();
    }
}

void ServiceCore::closeRequest(ServiceRequest* request) {
    auto running = std::find(running_.begin(), running_.end(), request);
    if (running != running_.end()) {
        running_.erase(running);
        curl_multi_remove_handle(multi_, request->easy());
    }
    dirty_.erase(std::remove(dirty_.begin(), dirty_.end(), request), dirty_.end());
    request->notifyClosing();
    std::unique_ptr<ServiceRequest> owned;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto it = requests_.find(request);
        if (it != requests_.end()) {
            owned = std::move(it->second);
            requests_.erase(it);
        }
    }
}

void ServiceCore::closeAll() {
    std::vector<ServiceRequest*> open;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopped_ = true;
        for (auto& entry : requests_) open.push_back(entry.first);
    }
    for (ServiceRequest* request : open) closeRequest(request);
}

}  // namespace tavo
