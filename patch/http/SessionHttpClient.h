// The session's HTTP client: an HttpSession and the "HttpClientUpdater" thread
// that pumps it for the session's whole life.
#pragma once

namespace tavo {

class HttpSession;

class SessionHttpClient {
public:
    ~SessionHttpClient();
    HttpSession* session() const { return nullptr; }
    // Stops and joins the pump thread; the session stays usable for shutdown.
    void stopUpdater();
};

}  // namespace tavo
