// A small HTTP/1.1 server on 127.0.0.1 inside the test process, with
// byte-level control for fault cases: the handler writes whatever bytes it
// likes, may drop the connection mid-body or never answer. Every request is
// recorded. Optional TLS with a generated self-signed certificate that is also
// expired and issued for another host name.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavotest {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct ReceivedRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::string version;
    HeaderList headers;  // in order, as sent
    std::string body;
    // First value of a header, names compared without case; "" when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

class LoopbackHttpServer;

class ServerConnection {
public:
    bool send(const void* data, std::size_t length);
    bool send(const std::string& bytes) { return send(bytes.data(), bytes.size()); }
    // A complete response with Content-Length.
    void respond(int status, const std::string& reason, const HeaderList& headers,
                 const std::string& body);
    // Answers GET with the content, honouring "Range: bytes=N-" and
    // "bytes=N-M" (206, or 416 when N is past the end).
    void serveFile(const ReceivedRequest& request, const std::string& content);
    // Closes the connection after the handler returns (no further requests).
    void closeAfter() { closeAfter_ = true; }
    // Closes at once, without a TLS close notification: a dropped connection.
    void drop();
    // Never answers: blocks until the server is stopped.
    void hold();

private:
    friend class LoopbackHttpServer;
    struct Io;
    ServerConnection(LoopbackHttpServer& server, int fd, void* ssl);
    bool receive(std::string& buffer);

    LoopbackHttpServer& server_;
    int fd_;
    void* ssl_;
    bool closeAfter_ = false;
    bool dropped_ = false;
};

class LoopbackHttpServer {
public:
    using Handler = std::function<void(const ReceivedRequest&, ServerConnection&)>;
    enum class Tls { Off, SelfSigned };

    // Binds 127.0.0.1 on a free port unless told otherwise; `address` must be
    // a loopback address (127.0.0.0/8) and port 0 means any free port.
    explicit LoopbackHttpServer(Handler handler, Tls tls = Tls::Off,
                                const std::string& address = "127.0.0.1", uint16_t port = 0);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    uint16_t port() const { return port_; }
    const std::string& address() const { return address_; }
    // "http://address:port" + path (https with TLS).
    std::string url(const std::string& path) const;
    std::vector<ReceivedRequest> requests() const;
    // Waits until at least `count` requests arrived; false on time-out.
    bool waitForRequests(std::size_t count, int timeoutMs) const;
    void stop();

private:
    friend class ServerConnection;
    void acceptLoop();
    void serve(int fd);
    bool stopping() const { return stopping_.load(); }
    void waitStopped();

    Handler handler_;
    Tls tls_;
    std::string address_;
    void* sslContext_ = nullptr;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::thread> connections_;
    std::vector<int> openFds_;
    std::vector<ReceivedRequest> requests_;
};

}  // namespace tavotest
