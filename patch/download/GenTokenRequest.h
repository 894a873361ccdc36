// The token request: a POST of the patch address to the token server, whose
// 2xx answer body is the address to fetch the file from.
#pragma once

#include <cstdint>
#include <string>

#include "RequestSlot.h"

namespace tavo {

class HttpResponseStatus;
class HttpHeaders;

struct TokenServer {
    std::string scheme;
    std::string server;
    int port = 0;
    std::string path;
};

class GenTokenRequest {
public:
    explicit GenTokenRequest(HttpSession* http) : slot_(http) {}
    ~GenTokenRequest() { slot_.release(); }
    GenTokenRequest(const GenTokenRequest&) = delete;
    GenTokenRequest& operator=(const GenTokenRequest&) = delete;

    // 20471 while one is in flight; 20472, 20473, 20474 for the steps.
    bool begin(const TokenServer& token, const std::string& uniqueId, const std::string& patchUrl);
    bool isBusy() const;
    // The answer with one trailing line end removed. Fails with the request's
    // codes (none left when it was cancelled), or 20471 while in flight.
    bool takeAnswer(std::string& token);
    void cancel() { slot_.cancel(); }

private:
    bool failBegin(int code);
    bool onHeaders(const HttpResponseStatus& status);
    bool onBodyData(const char* data, uint32_t length);

    std::string requestHeaders_;  // must outlive the send
    std::string requestBody_;
    std::string answer_;  // written on the pump thread while in flight
    // Last: released first, so no handler runs into the members above.
    RequestSlot slot_;
};

}  // namespace tavo
