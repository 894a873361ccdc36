// Owner-side operations of a request: open, send, result, cancel, close.
#include "HttpRequest.h"

#include <utility>

#include "DecimalText.h"
#include "HttpCodes.h"
#include "HttpSession.h"
#include "HttpUrl.h"
#include "platform/ErrorStack.h"
#include "platform/WorkerThread.h"

namespace tavo {

namespace {
constexpr unsigned kHandleClosePollMs = 10;
}  // namespace

HttpRequest::HttpRequest(HttpSession& session) : session_(session) {}

HttpRequest::~HttpRequest() {
    closeHandles();
    dropQueuedEvents();
}

void HttpRequest::setOnBeforeReceive(BeforeReceiveHandler handler) { onBeforeReceive_ = std::move(handler); }
void HttpRequest::setOnHeaders(HeadersHandler handler) { onHeaders_ = std::move(handler); }
void HttpRequest::setOnBodyData(BodyDataHandler handler) { onBodyData_ = std::move(handler); }
void HttpRequest::setOnComplete(CompleteHandler handler) { onComplete_ = std::move(handler); }
void HttpRequest::setOnStateChange(StateChangeHandler handler) { onStateChange_ = std::move(handler); }
void HttpRequest::setOnFinish(FinishHandler handler) { onFinish_ = std::move(handler); }

void HttpRequest::notifyStateChange(int32_t newState, int32_t oldState) {
    if (onStateChange_ && !detached_) onStateChange_(*this, newState, oldState);
}

void HttpRequest::changeState(int32_t from, int32_t to) {
    if (state_.compare_exchange_strong(from, to)) notifyStateChange(to, from);
}

bool HttpRequest::open(const char* url, const char* method) {
    if (!url || !method) {
        pushError(kErrHttpBadArguments);
        return false;
    }
    int32_t expected = Closed;
    if (!state_.compare_exchange_strong(expected, Opening)) {
        resetError(kErrHttpNotClosed);
        return false;
    }
    notifyStateChange(Opening, Closed);

    // The parse result is not examined: what was recognised is tried.
    HttpUrl parts;
    parseHttpUrl(url, parts);
    const auto port = static_cast<uint16_t>(leadingDecimalInt(parts.port.data(), parts.port.size()));
    connection_ = httpConnect(session_.serviceHandle(), parts.host.c_str(), port);
    if (!connection_) {
        resetWin32Error(httpLastError());
        return openFailed();
    }
    url_ = url;
    method_ = method;
    bytesReceived_ = 0;
    totalLength_ = 0;
    status_.reset();
    headers_.clear();

    const bool secure = parts.scheme == "https";
    request_ = httpOpenRequest(connection_, method, parts.path.c_str(), secure);
    const auto context = reinterpret_cast<uintptr_t>(this);
    bool ready = request_ && httpSetContext(request_, context) &&
                 (!secure || httpSetSecurityFlags(request_, kHttpSecurityIgnoreAll)) &&
                 httpSetStatusCallback(request_, &HttpRequest::notificationCallback,
                                       kHttpNotifyClientMask);
    if (!ready) {
        resetWin32Error(httpLastError());
        return openFailed();
    }
    handlesClosed_.store(false);
    changeState(Opening, Opened);
    return true;
}

bool HttpRequest::openFailed() {
    closeHandles();
    changeState(Opening, Closed);
    return false;
}

bool HttpRequest::send(const char* headers, const void* data, uint32_t dataLength,
                       uint32_t totalLength) {
    int32_t current = state_.load();
    if (current == Closed) {
        resetError(kErrHttpNeverOpened);
        return false;
    }
    int32_t expected = Opened;
    if (current != Opened || !state_.compare_exchange_strong(expected, Sending)) {
        resetError(kErrHttpBadState);
        return false;
    }
    notifyStateChange(Sending, Opened);
    if (totalLength < dataLength || (data && dataLength == 0) || (!data && dataLength > 0)) {
        resetError(kErrHttpBadArguments);
        changeState(Sending, Opened);
        return false;
    }
    totalLength_ = totalLength;
    savedErrors_.clear();
    sent_.store(true);
    const char* extra = headers && *headers ? headers : nullptr;
    if (!httpSendRequest(request_, extra, data, dataLength, totalLength,
                         reinterpret_cast<uintptr_t>(this))) {
        resetWin32Error(httpLastError());
        changeState(Sending, Opened);
        return false;
    }
    return true;
}

bool HttpRequest::isBusy() const {
    int32_t s = state_.load();
    return s >= Sending && s <= ReceivingBody;
}

bool HttpRequest::isIdle() const { return state_.load() == Closed; }

bool HttpRequest::getResult(bool& succeeded) {
    switch (state_.load()) {
    case Closed:
        resetError(kErrHttpNeverOpened);
        return false;
    case Opening:
    case Opened:
        resetError(kErrHttpNotSent);
        return false;
    case Finished:
        succeeded = savedErrors_.empty();
        if (!succeeded) restoreErrors(savedErrors_);
        return true;
    default:
        resetError(kErrHttpBadState);
        return false;
    }
}

void HttpRequest::cancel() {
    if (isBusy()) postEvent(HttpEventKind::Cancel);
}

void HttpRequest::close() {
    int32_t previous;
    for (;;) {
        previous = state_.load();
        if (previous == Closed) return;
        if (previous == Finished || previous == Opened) {
            if (state_.compare_exchange_strong(previous, Closed)) break;
            continue;
        }
        if (previous >= Sending && previous <= ReceivingBody) {
            cancel();
            return;
        }
        yieldThread();  // opening is transient
    }
    notifyStateChange(Closed, previous);
    closeHandles();
    dropQueuedEvents();
    sent_.store(false);
}

void HttpRequest::closeHandles() {
    if (request_) httpCloseHandle(std::exchange(request_, nullptr));
    if (connection_) httpCloseHandle(std::exchange(connection_, nullptr));
    while (!handlesClosed_.load()) sleepMs(kHandleClosePollMs);
}

bool HttpRequest::getHeader(const std::string& name, std::string& value) const {
    return headers_.find(name, value);
}

bool HttpRequest::getHeaderById(int index, std::string& value) const {
    const char* name = headerNameById(index);
    return name && headers_.find(name, value);
}

}  // namespace tavo
