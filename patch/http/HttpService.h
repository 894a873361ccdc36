// The asynchronous HTTP service the client is built on, shaped like the
// operating system's service: opaque handles, calls that return at once, and
// one status callback per request that reports completions. On Linux it runs
// on libcurl (CurlHttpService.cpp); another platform puts its own service
// behind the same functions without touching HttpSession or HttpRequest.
//
// Texts are UTF-8. A failing call returns false (or null) and leaves a Windows
// error number for httpLastError() on the calling thread. Notifications come
// from the session's service thread, or synchronously from the calling thread
// when the result is already there; a request's callback never runs twice at
// once, and its handle-closing notification is the last one it gets.
#pragma once

#include <cstdint>

namespace tavo {

struct HttpServiceHandle;
using HttpHandle = HttpServiceHandle*;

// Notification values (the Windows service's numbers).
constexpr uint32_t kHttpNotifyHandleCreated = 0x00000400;
constexpr uint32_t kHttpNotifyHandleClosing = 0x00000800;
constexpr uint32_t kHttpNotifyRedirect = 0x00004000;
constexpr uint32_t kHttpNotifyHeadersAvailable = 0x00020000;
constexpr uint32_t kHttpNotifyDataAvailable = 0x00040000;  // info: uint32_t byte count
constexpr uint32_t kHttpNotifyReadComplete = 0x00080000;   // info: buffer, infoLength: bytes
constexpr uint32_t kHttpNotifyWriteComplete = 0x00100000;
constexpr uint32_t kHttpNotifyRequestError = 0x00200000;   // info: HttpAsyncResult
constexpr uint32_t kHttpNotifySendRequestComplete = 0x00400000;
// Everything the client listens to.
constexpr uint32_t kHttpNotifyClientMask = 0x007E4C00;

// Operation identifiers in HttpAsyncResult::operation.
constexpr uint32_t kHttpApiReceiveResponse = 1;
constexpr uint32_t kHttpApiQueryDataAvailable = 2;
constexpr uint32_t kHttpApiReadData = 3;
constexpr uint32_t kHttpApiWriteData = 4;
constexpr uint32_t kHttpApiSendRequest = 5;

struct HttpAsyncResult {
    uint32_t operation;
    uint32_t error;  // Windows error number
};

// Security flags that make certificate problems harmless.
constexpr uint32_t kHttpSecurityIgnoreUnknownCa = 0x00000100;
constexpr uint32_t kHttpSecurityIgnoreCertDate = 0x00002000;
constexpr uint32_t kHttpSecurityIgnoreCertName = 0x00001000;
constexpr uint32_t kHttpSecurityIgnoreAll = 0x00003100;

using HttpStatusCallback = void (*)(HttpHandle handle, uintptr_t context, uint32_t status,
                                    void* info, uint32_t infoLength);

// A session in asynchronous mode with direct connections (no proxy at all).
HttpHandle httpOpen(const char* userAgent);
HttpHandle httpConnect(HttpHandle session, const char* host, uint16_t port);
HttpHandle httpOpenRequest(HttpHandle connection, const char* verb, const char* path,
                           bool secure);
bool httpSetContext(HttpHandle request, uintptr_t context);
bool httpSetSecurityFlags(HttpHandle request, uint32_t flags);
bool httpSetStatusCallback(HttpHandle request, HttpStatusCallback callback, uint32_t mask);
// `headers`: header lines separated by CR LF (may be null). The data is copied.
bool httpSendRequest(HttpHandle request, const char* headers, const void* data,
                     uint32_t length, uint32_t totalLength, uintptr_t context);
bool httpReceiveResponse(HttpHandle request);
// Status line and header lines of the final response, each ending in CR LF,
// then an empty line, zero-terminated. With a too small (or null) buffer it
// fails with 122 and sets *length to the bytes needed including the zero.
bool httpQueryRawHeaders(HttpHandle request, char* buffer, uint32_t* length);
bool httpQueryDataAvailable(HttpHandle request);
bool httpReadData(HttpHandle request, void* buffer, uint32_t length);
// A request handle closes asynchronously and ends with its handle-closing
// notification; closing a session first closes every request still open in it.
bool httpCloseHandle(HttpHandle handle);
uint32_t httpLastError();

}  // namespace tavo
