// The event side of a request: the service's notification callback posts
// events; the pump processes them and calls the handlers.
#include <algorithm>
#include <memory>

#include "HttpCodes.h"
#include "HttpRequest.h"
#include "ServiceErrors.h"
#include "platform/ErrorStack.h"
#include "platform/WorkerThread.h"

namespace tavo {

void HttpRequest::notificationCallback(HttpHandle handle, uintptr_t context, uint32_t status,
                                       void* info, uint32_t infoLength) {
    auto* self = reinterpret_cast<HttpRequest*>(context);
    switch (status) {
    case kHttpNotifyHandleClosing:
        // Last touch: the owner may delete the request right after.
        self->handlesClosed_.store(true);
        break;
    case kHttpNotifyHeadersAvailable:
        self->onHeadersNotification(handle);
        break;
    case kHttpNotifyDataAvailable:
        self->onDataAvailableNotification(handle, *static_cast<const uint32_t*>(info));
        break;
    case kHttpNotifyReadComplete: {
        HttpEvent event(HttpEventKind::ReadComplete);
        event.bytes = infoLength;
        self->postEvent(std::move(event));
        break;
    }
    case kHttpNotifyRequestError: {
        const auto* result = static_cast<const HttpAsyncResult*>(info);
        if (result->error == kWinHttpOperationCancelled) break;
        HttpEvent event(HttpEventKind::RequestError);
        event.operation = result->operation;
        event.error = result->error;
        self->postEvent(std::move(event));
        break;
    }
    case kHttpNotifySendRequestComplete:
        self->postEvent(HttpEventKind::SendComplete);
        break;
    default:
        break;
    }
}

void HttpRequest::onHeadersNotification(HttpHandle handle) {
    uint32_t length = 0;
    httpQueryRawHeaders(handle, nullptr, &length);
    std::string text(length, '\0');
    if (length == 0 || !httpQueryRawHeaders(handle, text.data(), &length)) {
        postServiceError(kHttpApiReceiveResponse);
        return;
    }
    text.resize(length);
    HttpEvent event(HttpEventKind::HeadersAvailable);
    event.headerText = std::move(text);
    postEvent(std::move(event));
    if (!httpQueryDataAvailable(handle)) postServiceError(kHttpApiQueryDataAvailable);
}

void HttpRequest::onDataAvailableNotification(HttpHandle handle, uint32_t available) {
    if (available == 0) {
        postEvent(HttpEventKind::EndOfData);
        return;
    }
    const uint32_t piece = std::min(available, kReceiveBufferSize);
    if (!httpReadData(handle, receiveBuffer_.data(), piece)) postServiceError(kHttpApiReadData);
}

void HttpRequest::postServiceError(uint32_t operation) {
    HttpEvent event(HttpEventKind::RequestError);
    event.operation = operation;
    event.error = httpLastError();
    postEvent(std::move(event));
}

void HttpRequest::postEvent(HttpEventKind kind) { postEvent(HttpEvent(kind)); }

void HttpRequest::postEvent(HttpEvent&& event) {
    HttpEvent* raw = std::make_unique<HttpEvent>(std::move(event)).release();
    while (!events_.push(raw)) yieldThread();
}

void HttpRequest::dropQueuedEvents() {
    HttpEvent* raw = nullptr;
    while (events_.pop(raw)) std::unique_ptr<HttpEvent> owned(raw);
}

bool HttpRequest::processEvents() {
    if (!isBusy()) return false;
    clearErrors();
    bool processed = false;
    HttpEvent* raw = nullptr;
    while (events_.pop(raw)) {
        processed = true;
        std::unique_ptr<HttpEvent> event(raw);
        if (!handleEvent(*event)) {
            finishWithFailure();
            break;
        }
        if (!isBusy()) break;
    }
    return processed;
}

bool HttpRequest::handleEvent(HttpEvent& event) {
    switch (event.kind) {
    case HttpEventKind::SendComplete:
        return handleSendComplete();
    case HttpEventKind::HeadersAvailable:
        return handleHeaders(event);
    case HttpEventKind::ReadComplete:
        return handleReadComplete(event);
    case HttpEventKind::EndOfData:
        return handleEndOfData();
    case HttpEventKind::RequestError:
        resetWin32Error(event.error);
        pushError(kErrHttpAsyncFailed);
        return false;
    case HttpEventKind::Cancel:
        resetError(kErrHttpCancelled);
        return false;
    }
    return true;
}

bool HttpRequest::handlerFailed() {
    if (!hasErrors()) pushError(kErrHttpHandlerFailed);
    return false;
}

bool HttpRequest::handleSendComplete() {
    clearErrors();
    changeState(Sending, WaitingForHeaders);
    if (onBeforeReceive_ && !detached_ && !onBeforeReceive_(*this)) return handlerFailed();
    if (!httpReceiveResponse(request_)) {
        resetWin32Error(httpLastError());
        return false;
    }
    return true;
}

bool HttpRequest::handleHeaders(const HttpEvent& event) {
    const std::string& text = event.headerText;
    if (text.empty()) {
        resetError(kErrHttpEmptyHeaders);
        return false;
    }
    if (!status_.parse(text.data(), text.size())) {
        resetError(kErrHttpBadStatusLine);
        return false;
    }
    std::size_t lineEnd = text.find("\r\n");
    std::size_t blockStart = lineEnd == std::string::npos ? text.size() : lineEnd + 2;
    if (!headers_.parse(text.data() + blockStart, text.size() - blockStart)) {
        resetError(kErrHttpBadHeaderBlock);
        return false;
    }
    if (onHeaders_ && !detached_ && !onHeaders_(*this, status_, headers_)) return handlerFailed();
    changeState(WaitingForHeaders, ReceivingBody);
    return true;
}

bool HttpRequest::handleReadComplete(const HttpEvent& event) {
    bytesReceived_ += event.bytes;
    if (onBodyData_ && !detached_ && !onBodyData_(*this, receiveBuffer_.data(), event.bytes))
        return handlerFailed();
    return askForData();
}

bool HttpRequest::askForData() {
    if (!httpQueryDataAvailable(request_)) {
        resetWin32Error(httpLastError());
        return false;
    }
    return true;
}

bool HttpRequest::handleEndOfData() {
    if (onComplete_ && !detached_ && !onComplete_(*this, bytesReceived_)) return handlerFailed();
    changeState(ReceivingBody, Finished);
    return true;
}

void HttpRequest::finishWithFailure() {
    // The codes are saved before the state says finished: the owner reads
    // them as soon as it sees state 6.
    copyErrors(savedErrors_);
    int32_t old = state_.exchange(Finished);
    if (old != Finished) notifyStateChange(Finished, old);
    if (onFinish_ && !detached_) onFinish_(*this, lastError());
    dropQueuedEvents();
}

}  // namespace tavo
