#include "BodySender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace zanthbench {

namespace {
constexpr std::size_t kChunkSize = 1024 * 1024;
constexpr int kAcceptPollMs = 50;
constexpr std::size_t kMaxHead = 64 * 1024;
}  // namespace

BodySender::BodySender(uint64_t bodySize) : bodySize_(bodySize), chunk_(kChunkSize) {
    for (std::size_t i = 0; i < chunk_.size(); ++i) chunk_[i] = static_cast<char>('a' + i % 26);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    listenFd_ = fd;
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

BodySender::~BodySender() {
    stopping_.store(true);
    if (acceptThread_.joinable()) acceptThread_.join();
    for (std::thread& connection : connections_) connection.join();
    if (listenFd_ >= 0) ::close(listenFd_);
}

std::string BodySender::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/body.bin";
}

void BodySender::acceptLoop() {
    while (!stopping_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kAcceptPollMs) <= 0) continue;
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> guard(mutex_);
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

// One request per connection: read the head, answer, close.
void BodySender::serve(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHead) {
        long n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    if (head.find("\r\n\r\n") != std::string::npos) {
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                   "Content-Length: " + std::to_string(bodySize_) +
                                   "\r\nConnection: close\r\n\r\n";
        bool ok = ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) == static_cast<long>(answer.size());
        uint64_t left = bodySize_;
        while (ok && left > 0 && !stopping_.load()) {
            const std::size_t piece = static_cast<std::size_t>(std::min<uint64_t>(left, chunk_.size()));
            long n = ::send(fd, chunk_.data(), piece, MSG_NOSIGNAL);
            ok = n > 0;
            if (ok) left -= static_cast<uint64_t>(n);
        }
    }
    ::shutdown(fd, SHUT_WR);
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(fd);
}

}  // namespace zanthbench
