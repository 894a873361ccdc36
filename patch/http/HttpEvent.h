// What the notification callback posts to a request's queue and the pump
// consumes.
#pragma once

#include <cstdint>
#include <string>

namespace tavo {

enum class HttpEventKind : int {
    SendComplete = 0,
    HeadersAvailable = 2,
    ReadComplete = 3,
    EndOfData = 4,
    RequestError = 5,
    Cancel = 6,
};

struct HttpEvent {
    explicit HttpEvent(HttpEventKind k) : kind(k) {}
    HttpEventKind kind;
    std::string headerText;  // HeadersAvailable
    uint32_t bytes = 0;      // ReadComplete
    uint32_t operation = 0;  // RequestError
    uint32_t error = 0;      // RequestError: Windows error number
};

}  // namespace tavo
