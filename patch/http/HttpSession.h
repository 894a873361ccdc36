// One HTTP client session: the service's session handle and every request
// made through it. The session owns its requests and lends them out; the
// "HttpClientUpdater" thread pumps it. Everything here takes the session lock
// (re-entrant, so handlers running inside pump may call back in).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "HttpService.h"

namespace tavo {

class HttpRequest;

class HttpSession {
public:
    HttpSession();
    ~HttpSession();  // close()
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Opens the service session with this user agent and direct connections.
    // 10021 when already open; false without a code when the service refuses.
    bool open(const char* userAgent);
    bool isOpen() const;
    // A new closed request owned by the session; null with 10014 when not open.
    HttpRequest* createRequest();
    // Closes the request and gives it back; the caller's pointer is cleared.
    // A request still in flight is cancelled and deleted by a later pump.
    // Pointers the session does not know are ignored.
    void releaseRequest(HttpRequest*& request);
    // Delivers the queued events of every sent request and deletes released
    // requests that have gone idle. True when any request processed an event.
    bool pump();
    // Releases every request, pumps until the released ones are gone, then
    // closes the service session.
    void close();

    HttpHandle serviceHandle() const { return handle_; }
    const std::string& userAgent() const { return userAgent_; }

private:
    using RequestList = std::vector<std::unique_ptr<HttpRequest>>;
    bool isListed(const HttpRequest* request) const;
    int pumpList(const RequestList& list);
    void deleteIdleClosing();

    mutable std::recursive_mutex lock_;
    HttpHandle handle_ = nullptr;
    std::string userAgent_;
    RequestList active_;
    RequestList closing_;
    HttpRequest* inProcess_ = nullptr;  // the request whose handlers are running
};

}  // namespace tavo
