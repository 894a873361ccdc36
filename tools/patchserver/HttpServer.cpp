#include "HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include "RequestHead.h"

namespace zanth::tools {

namespace {

constexpr int kIoTimeoutSeconds = 30;
constexpr int kBacklog = 64;
constexpr std::size_t kReadPiece = 8192;
constexpr std::size_t kFilePiece = 64 * 1024;

bool sendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool sendFile(int socket, int file, uint64_t offset, uint64_t length)
{
    std::string buffer(kFilePiece, '\0');
    while (length > 0) {
        const std::size_t want = length < kFilePiece ? static_cast<std::size_t>(length) : kFilePiece;
        const ssize_t got = ::pread(file, buffer.data(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !sendAll(socket, buffer.data(), static_cast<std::size_t>(got)))
            return false;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<uint64_t>(got);
    }
    return true;
}

// Appends what arrives to `data`; false on close, error or time-out.
bool receiveMore(int fd, std::string& data)
{
    char piece[kReadPiece];
    for (;;) {
        const ssize_t got = ::recv(fd, piece, sizeof piece, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data.append(piece, static_cast<std::size_t>(got));
        return true;
    }
}

void setTimeouts(int fd)
{
    const timeval timeout{kIoTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

std::string utcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string printable(const std::string& text)
{
    std::string out = text.substr(0, 200);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f || c == '"')
            c = '?';
    return out;
}

}  // namespace

bool parseListenAddress(const std::string& text, std::string& address, uint16_t& port)
{
    const std::size_t colon = text.rfind(':');
    address = text.substr(0, colon);
    port = kDefaultPort;
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        return false;
    if (colon == std::string::npos)
        return true;
    const std::string digits = text.substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

HttpServer::HttpServer(const PatchService& service, LogSink log) : service_(service), log_(std::move(log)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(const std::string& address, uint16_t port, std::string& error)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        error = address + ": not an IPv4 address";
        return false;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_ = FileDescriptor(pipeEnds[0]);
    wakeWrite_ = FileDescriptor(pipeEnds[1]);
    listener_ = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int yes = 1;
    socklen_t length = sizeof where;
    if (!listener_.valid() || ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(listener_.get(), kBacklog) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        listener_.reset();
        return false;
    }
    port_ = ntohs(where.sin_port);
    stopping_ = false;
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

void HttpServer::stop()
{
    if (!acceptor_.joinable())
        return;
    stopping_ = true;
    const char wake = 1;
    while (::write(wakeWrite_.get(), &wake, 1) < 0 && errno == EINTR) {
    }
    acceptor_.join();
    std::list<std::unique_ptr<Connection>> remaining;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int fd : open_)
            ::shutdown(fd, SHUT_RDWR);
        remaining.swap(connections_);
    }
    for (auto& c : remaining)
        c->thread.join();
    listener_.reset();
}

void HttpServer::acceptLoop()
{
    while (!stopping_) {
        pollfd waits[2] = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 || waits[1].revents != 0)
            continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        FileDescriptor client(::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
        if (!client.valid())
            continue;
        char address[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
        const std::string name = std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
        reapFinished();
        std::lock_guard<std::mutex> lock(mutex_);
        if (connections_.size() >= kMaxConnections) {
            const Response busy = serverError(kErrorServerBusy, "too many connections");
            const std::string text = responseHead(busy) + busy.body;
            ::send(client.get(), text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (log_)
                log_(utcNow() + " " + name + " \"-\" 500 0");
            continue;
        }
        open_.insert(client.get());
        auto connection = std::make_unique<Connection>();
        Connection& c = *connection;
        c.thread = std::thread([this, fd = std::move(client), name, &c]() mutable { serve(std::move(fd), name, c); });
        connections_.push_back(std::move(connection));
    }
}

void HttpServer::reapFinished()
{
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            auto next = std::next(it);
            if ((*it)->done)
                finished.splice(finished.end(), connections_, it);
            it = next;
        }
    }
    for (auto& c : finished)
        c->thread.join();
}

void HttpServer::track(int fd, bool add)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (add)
        open_.insert(fd);
    else
        open_.erase(fd);
}

void HttpServer::serve(FileDescriptor client, std::string peer, Connection& connection)
{
    const int fd = client.get();
    setTimeouts(fd);
    std::string data;
    RequestHead head;
    HeadResult result;
    bool received = true;
    while ((result = parseRequestHead(data, head)).status == HeadStatus::incomplete && received)
        received = receiveMore(fd, data);
    Response response;
    std::string body;
    if (result.status == HeadStatus::refused) {
        response = textResponse(result.refusal, "request not understood");
    } else if (result.status == HeadStatus::incomplete) {
        response = textResponse(data.empty() ? 0 : 400, "incomplete request");
    } else {
        body = data.substr(result.length);
        const std::string* expect = head.field("Expect");
        if (expect && body.size() < head.contentLength) {
            static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            sendAll(fd, kContinue, sizeof kContinue - 1);
        }
        while (body.size() < head.contentLength && receiveMore(fd, body)) {
        }
        if (body.size() < head.contentLength)
            response = textResponse(408, "request body incomplete");
        else {
            body.resize(head.contentLength);
            response = service_.handle(head, body);
        }
    }
    if (response.status != 0) {
        const std::string text = responseHead(response);
        const bool sent = sendAll(fd, text.data(), text.size()) &&
                          (response.file.valid()
                               ? sendFile(fd, response.file.get(), response.fileOffset, response.fileLength)
                               : sendAll(fd, response.body.data(), response.body.size()));
        if (log_)
            log_(utcNow() + " " + peer + " \"" + printable(head.method + " " + head.target) + "\" " +
                 std::to_string(response.status) + " " + std::to_string(response.contentLength()) +
                 (sent ? "" : " (cut off)"));
    }
    track(fd, false);
    client.reset();
    connection.done = true;
}

}  // namespace zanth::tools
