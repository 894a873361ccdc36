// Internals of the libcurl service: a session core with one multi handle and
// the service thread that drives it, connection records and request handles.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ByteFifo.h"
#include "HttpService.h"

namespace tavo {

struct HttpServiceHandle {
    enum class Kind { Session, Connection, Request };
    explicit HttpServiceHandle(Kind k) : kind(k) {}
    virtual ~HttpServiceHandle() = default;
    const Kind kind;
};

class ServiceRequest;

class ServiceCore {
public:
    explicit ServiceCore(std::string userAgent);
    ~ServiceCore();
    ServiceCore(const ServiceCore&) = delete;
    ServiceCore& operator=(const ServiceCore&) = delete;

    bool start();
    // Closes every request still open (with its notification) and joins.
    void stop();

    // Null when the core is stopped.
    ServiceRequest* createRequest(const std::string& host, uint16_t port, const std::string& verb,
                                  const std::string& path, bool secure);
    enum class CommandKind { Start, Resume, Close };
    void post(CommandKind kind, ServiceRequest* request);
    // Service thread: the request has news for its callback.
    void markDirty(ServiceRequest* request);
    const std::string& userAgent() const { return userAgent_; }

private:
    struct Command {
        CommandKind kind;
        ServiceRequest* request;
    };
    void run();
    bool runCommands();
    void collectFinished();
    void checkTimeouts();
    void deliverDirty();
    void closeRequest(ServiceRequest* request);
    void closeAll();

    const std::string userAgent_;
    CURLM* multi_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Command> commands_;
    bool stopping_ = false;  // under mutex_
    bool stopped_ = false;   // under mutex_
    std::map<ServiceRequest*, std::unique_ptr<ServiceRequest>> requests_;  // under mutex_
    // Service thread only.
    std::vector<ServiceRequest*> running_;
    std::vector<ServiceRequest*> dirty_;
};

struct ServiceSession : HttpServiceHandle {
    ServiceSession() : HttpServiceHandle(Kind::Session) {}
    std::shared_ptr<ServiceCore> core;
};

struct ServiceConnection : HttpServiceHandle {
    ServiceConnection() : HttpServiceHandle(Kind::Connection) {}
    std::shared_ptr<ServiceCore> core;
    std::string host;
    uint16_t port = 0;
};

class ServiceRequest : public HttpServiceHandle {
public:
    ServiceRequest(ServiceCore& core, const std::string& host, uint16_t port,
                   const std::string& verb, const std::string& path, bool secure);
    ~ServiceRequest() override;

    // Any thread (the owner of the handle).
    void setContext(uintptr_t context) { context_ = context; }
    void setSecurityFlags(uint32_t flags) { securityFlags_ = flags; }
    void setCallback(HttpStatusCallback callback, uint32_t mask);
    bool send(const char* headers, const void* data, uint32_t length, uint32_t totalLength,
              uintptr_t context);
    bool receiveResponse();
    bool queryRawHeaders(char* buffer, uint32_t* length);
    bool queryDataAvailable();
    bool readData(void* buffer, uint32_t length);

    ServiceCore& core() const { return core_; }

    // Service thread.
    CURL* easy() const { return easy_; }
    void finished(CURLcode result);
    bool checkTimeout(int64_t nowMs, uint32_t noProgressMs);
    void resume();
    // Fires every notification whose operation can complete now.
    void deliver();
    void notifyClosing();
    bool takeDirtyMark() { return std::exchange(dirtyMarked_, false); }
    bool markDirty() { return !std::exchange(dirtyMarked_, true); }

private:
    struct Notification {
        uint32_t status = 0;
        uint32_t count = 0;          // DataAvailable, ReadComplete
        void* buffer = nullptr;      // ReadComplete
        HttpAsyncResult result{};    // RequestError
        bool resume = false;         // the read made room: resume the transfer
    };
    bool configure(const char* headers, uint32_t totalLength);
    // Under mutex_: the notification of the pending operation that can complete.
    bool nextNotification(Notification& out);
    void fire(Notification& n);
    void noteProgress();
    void onHeaderLine(const char* data, std::size_t length);
    size_t onBody(const char* data, std::size_t length);

    static size_t headerCallback(char* data, size_t size, size_t count, void* self);
    static size_t writeCallback(char* data, size_t size, size_t count, void* self);
    static int prereqCallback(void* self, char*, char*, int, int);

    ServiceCore& core_;
    const std::string host_;
    const uint16_t port_;
    const std::string verb_;
    const std::string path_;
    const bool secure_;
    std::atomic<uintptr_t> context_{0};
    std::atomic<uint32_t> securityFlags_{0};
    std::atomic<HttpStatusCallback> callback_{nullptr};
    std::atomic<uint32_t> mask_{0};

    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    std::string body_;
    bool dirtyMarked_ = false;  // service thread

    std::mutex mutex_;
    // Everything below is under mutex_.
    bool sendStarted_ = false;
    bool sendPending_ = false;
    bool receivePending_ = false;
    bool dataPending_ = false;
    bool readPending_ = false;
    char* readBuffer_ = nullptr;
    uint32_t readLength_ = 0;
    bool connected_ = false;
    bool requestSent_ = false;
    bool headersReady_ = false;
    bool done_ = false;
    uint32_t doneError_ = 0;
    bool pausedByUs_ = false;
    bool resumePosted_ = false;
    int collectingStatus_ = 0;
    bool collectingHasLocation_ = false;
    std::string collecting_;
    std::string rawHeaders_;
    std::string lastBlock_;  // the newest complete header block, final or not
    ByteFifo fifo_;
    int64_t lastProgressMs_ = 0;
};

int64_t serviceNowMs();
void setServiceError(uint32_t error);

}  // namespace tavo
