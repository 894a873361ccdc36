// One HTTP exchange (one URL, one method), owned by its HttpSession. The
// service's notifications only post events to the request's queue; the
// session's pump takes them off, drives the exchange and calls the handlers.
//
// Owner's thread: open, send, isBusy, isIdle, getResult, cancel, the handler
// setters (before send) and, once finished, status and the header lookups.
// Handlers run on the pump thread under the session lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HttpEvent.h"
#include "HttpHeaders.h"
#include "HttpResponseStatus.h"
#include "HttpService.h"
#include "RingQueue.h"

namespace tavo {

class HttpSession;

class HttpRequest {
public:
    enum State : int32_t {
        Closed = 0,
        Opening = 1,
        Opened = 2,
        Sending = 3,
        WaitingForHeaders = 4,
        ReceivingBody = 5,
        Finished = 6,
    };
    static constexpr uint32_t kReceiveBufferSize = 1024;
    static constexpr uint32_t kEventSlots = 257;

    // A handler that returns false aborts the exchange; it should push its own
    // code first (otherwise 10015 is pushed). An empty function restores the
    // default (continue / do nothing).
    using BeforeReceiveHandler = std::function<bool(HttpRequest&)>;
    using HeadersHandler =
        std::function<bool(HttpRequest&, const HttpResponseStatus&, const HttpHeaders&)>;
    using BodyDataHandler = std::function<bool(HttpRequest&, const char* data, uint32_t length)>;
    using CompleteHandler = std::function<bool(HttpRequest&, uint32_t totalBytes)>;
    using StateChangeHandler = std::function<void(HttpRequest&, int32_t newState, int32_t oldState)>;
    using FinishHandler = std::function<void(HttpRequest&, int lastErrorCode)>;

    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    void setOnBeforeReceive(BeforeReceiveHandler handler);
    void setOnHeaders(HeadersHandler handler);
    void setOnBodyData(BodyDataHandler handler);
    void setOnComplete(CompleteHandler handler);
    void setOnStateChange(StateChangeHandler handler);
    void setOnFinish(FinishHandler handler);

    // Methods used: "GET", "POST". A URL that does not parse still tries to
    // connect with what was recognised; the failure is the service's.
    bool open(const char* url, const char* method);
    // `headers`: extra header lines as one text (may be null). Returns as soon
    // as the request is on its way.
    bool send(const char* headers, const void* data, uint32_t dataLength, uint32_t totalLength);
    bool isBusy() const;
    bool isIdle() const;
    // False (with 10008, 10017 or 10004) unless finished; then true, and on a
    // failed exchange succeeded = false with the exchange's codes restored on
    // the calling thread's error stack.
    bool getResult(bool& succeeded);
    // Asks for a stop and never blocks: the next pump ends the exchange with 10001.
    void cancel();
    // Finished or opened requests close at once (waiting for the service's
    // handle-closing notification); a busy one is only cancelled.
    void close();

    int32_t state() const { return state_.load(); }
    const HttpResponseStatus& status() const { return status_; }
    const HttpHeaders& headers() const { return headers_; }
    bool getHeader(const std::string& name, std::string& value) const;
    bool getHeaderById(int index, std::string& value) const;
    uint32_t bytesReceived() const { return bytesReceived_; }
    const std::string& url() const { return url_; }
    const std::string& method() const { return method_; }

private:
    friend class HttpSession;
    explicit HttpRequest(HttpSession& session);

    // Pump side (HttpSession only).
    bool wasSent() const { return sent_.load(); }
    // True when at least one event was processed.
    bool processEvents();
    // The owner has let go: handlers are no longer called.
    void detachHandlers() { detached_ = true; }

    static void notificationCallback(HttpHandle handle, uintptr_t context, uint32_t status,
                                     void* info, uint32_t infoLength);
    void onHeadersNotification(HttpHandle handle);
    void onDataAvailableNotification(HttpHandle handle, uint32_t available);
    void postEvent(HttpEventKind kind);
    void postEvent(HttpEvent&& event);
    void postServiceError(uint32_t operation);

    bool handleEvent(HttpEvent& event);
    bool handleSendComplete();
    bool handleHeaders(const HttpEvent& event);
    bool handleReadComplete(const HttpEvent& event);
    bool handleEndOfData();
    void finishWithFailure();
    bool handlerFailed();
    bool askForData();
    void dropQueuedEvents();


    void changeState(int32_t from, int32_t to);
    void notifyStateChange(int32_t newState, int32_t oldState);
    bool openFailed();
    void closeHandles();

    HttpSession& session_;
    std::atomic<int32_t> state_{Closed};
    std::atomic<bool> sent_{false};
    std::atomic<bool> handlesClosed_{true};
    bool detached_ = false;  // under the session lock

    BeforeReceiveHandler onBeforeReceive_;
    HeadersHandler onHeaders_;
    BodyDataHandler onBodyData_;
    CompleteHandler onComplete_;
    StateChangeHandler onStateChange_;
    FinishHandler onFinish_;

    std::string url_;
    std::string method_;
    HttpHandle connection_ = nullptr;
    HttpHandle request_ = nullptr;
    HttpResponseStatus status_;
    HttpHeaders headers_;
    uint32_t bytesReceived_ = 0;
    uint32_t totalLength_ = 0;
    std::array<char, kReceiveBufferSize> receiveBuffer_{};
    RingQueue<HttpEvent*> events_{kEventSlots};
    std::vector<int> savedErrors_;
};

}  // namespace tavo
