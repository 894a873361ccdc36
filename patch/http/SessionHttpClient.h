// The session's HTTP client: an HttpSession and the "HttpClientUpdater" thread
// that pumps it for the session's whole life.
#pragma once

#include <memory>

namespace tavo {

class HttpSession;
class HttpClientUpdater;

class SessionHttpClient {
public:
    SessionHttpClient();
    // Stops the pump thread, then closes the HttpSession.
    ~SessionHttpClient();
    SessionHttpClient(const SessionHttpClient&) = delete;
    SessionHttpClient& operator=(const SessionHttpClient&) = delete;

    // Opens the session with agent "ZANTH_Patch" and starts the pump thread.
    bool start();
    // Null when opening the session or starting its thread failed.
    HttpSession* session() const { return ready_ ? session_.get() : nullptr; }
    // Stops and joins the pump thread; the session stays usable for shutdown.
    void stopUpdater();

private:
    std::unique_ptr<HttpSession> session_;
    std::unique_ptr<HttpClientUpdater> updater_;
    bool ready_ = false;
};

}  // namespace tavo
