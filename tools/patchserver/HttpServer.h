// The patch service's HTTP/1.1 listener: one accepting thread and one thread
// per connection (bounded), one request per connection, one log line per
// request. stop() ends the accepting thread, wakes every connection and
// waits for all of them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "FileDescriptor.h"
#include "PatchService.h"

namespace zanth::tools {

constexpr int kErrorServerBusy = 30003;
constexpr std::size_t kMaxConnections = 64;
constexpr int kDefaultPort = 80;

using LogSink = std::function<void(const std::string& line)>;

// "ADDR:PORT" (IPv4 dotted quad, decimal port) or "ADDR" alone (port 80).
bool parseListenAddress(const std::string& text, std::string& address, uint16_t& port);

class HttpServer {
public:
    HttpServer(const PatchService& service, LogSink log);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Port 0 picks a free port; port() tells which.
    bool start(const std::string& address, uint16_t port, std::string& error);
    uint16_t port() const { return port_; }
    void stop();

private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void reapFinished();
    void serve(FileDescriptor client, std::string peer, Connection& connection);
    void track(int fd, bool add);

    const PatchService& service_;
    LogSink log_;
    FileDescriptor listener_;
    FileDescriptor wakeRead_, wakeWrite_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex mutex_;  // guards connections_ and open_
    std::list<std::unique_ptr<Connection>> connections_;
    std::set<int> open_;
};

}  // namespace zanth::tools
