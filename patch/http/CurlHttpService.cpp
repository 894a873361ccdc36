// The service functions on libcurl: handle checks and hand-off to the
// session core and request objects.
#include <chrono>
#include <mutex>

#include "CurlService.h"
#include "ServiceErrors.h"

namespace tavo {

namespace {

thread_local uint32_t lastServiceError = 0;

std::once_flag curlInitialised;
bool curlReady = false;

template <class T>
T* as(HttpHandle handle, HttpServiceHandle::Kind kind) {
    if (!handle) {
        setServiceError(kWinInvalidHandle);
        return nullptr;
    }
    if (handle->kind != kind) {
        setServiceError(kWinHttpIncorrectHandleType);
        return nullptr;
    }
    return static_cast<T*>(handle);
}

ServiceRequest* asRequest(HttpHandle handle) {
    return as<ServiceRequest>(handle, HttpServiceHandle::Kind::Request);
}

}  // namespace

int64_t serviceNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void setServiceError(uint32_t error) { lastServiceError = error; }
uint32_t httpLastError() { return lastServiceError; }

HttpHandle httpOpen(const char* userAgent) {
    std::call_once(curlInitialised, [] { curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!curlReady) {
        setServiceError(kWinHttpInternalError);
        return nullptr;
    }
    auto session = std::make_unique<ServiceSession>();
    session->core = std::make_shared<ServiceCore>(userAgent ? userAgent : "");
    if (!session->core->start()) {
        setServiceError(kWinHttpInternalError);
        return nullptr;
    }
    return session.release();
}

HttpHandle httpConnect(HttpHandle sessionHandle, const char* host, uint16_t port) {
    auto* session = as<ServiceSession>(sessionHandle, HttpServiceHandle::Kind::Session);
    if (!session) return nullptr;
    if (!host || !*host) {
        setServiceError(kWinHttpInvalidUrl);
        return nullptr;
    }
    auto connection = std::make_unique<ServiceConnection>();
    connection->core = session->core;
    connection->host = host;
    connection->port = port;
    return connection.release();
}

HttpHandle httpOpenRequest(HttpHandle connectionHandle, const char* verb, const char* path,
                           bool secure) {
    auto* connection = as<ServiceConnection>(connectionHandle, HttpServiceHandle::Kind::Connection);
    if (!connection) return nullptr;
    if (!verb || !*verb) {
        setServiceError(kWinInvalidParameterHttp);
        return nullptr;
    }
    return connection->core->createRequest(connection->host, connection->port, verb,
                                           path && *path ? path : "/", secure);
}

bool httpSetContext(HttpHandle handle, uintptr_t context) {
    ServiceRequest* request = asRequest(handle);
    if (!request) return false;
    request->setContext(context);
    return true;
}

bool httpSetSecurityFlags(HttpHandle handle, uint32_t flags) {
    ServiceRequest* request = asRequest(handle);
    if (!request) return false;
    request->setSecurityFlags(flags);
    return true;
}

bool httpSetStatusCallback(HttpHandle handle, HttpStatusCallback callback, uint32_t mask) {
    ServiceRequest* request = asRequest(handle);
    if (!request) return false;
    request->setCallback(callback, mask);
    return true;
}

bool httpSendRequest(HttpHandle handle, const char* headers, const void* data, uint32_t length,
                     uint32_t totalLength, uintptr_t context) {
    ServiceRequest* request = asRequest(handle);
    return request && request->send(headers, data, length, totalLength, context);
}

bool httpReceiveResponse(HttpHandle handle) {
    ServiceRequest* request = asRequest(handle);
    return request && request->receiveResponse();
}

bool httpQueryRawHeaders(HttpHandle handle, char* buffer, uint32_t* length) {
    ServiceRequest* request = asRequest(handle);
    return request && request->queryRawHeaders(buffer, length);
}

bool httpQueryDataAvailable(HttpHandle handle) {
    ServiceRequest* request = asRequest(handle);
    return request && request->queryDataAvailable();
}

bool httpReadData(HttpHandle handle, void* buffer, uint32_t length) {
    ServiceRequest* request = asRequest(handle);
    return request && request->readData(buffer, length);
}

bool httpCloseHandle(HttpHandle handle) {
    if (!handle) {
        setServiceError(kWinInvalidHandle);
        return false;
    }
    switch (handle->kind) {
    case HttpServiceHandle::Kind::Session: {
        std::unique_ptr<ServiceSession> session(static_cast<ServiceSession*>(handle));
        session->core->stop();
        return true;
    }
    case HttpServiceHandle::Kind::Connection:
        std::unique_ptr<ServiceConnection>(static_cast<ServiceConnection*>(handle)).reset();
        return true;
    case HttpServiceHandle::Kind::Request: {
        auto* request = static_cast<ServiceRequest*>(handle);
        request->core().post(ServiceCore::CommandKind::Close, request);
        return true;
    }
    }
    return false;
}

}  // namespace tavo
