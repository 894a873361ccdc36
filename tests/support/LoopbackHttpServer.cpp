#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace tavotest {

namespace {

constexpr int kAcceptPollMs = 50;
constexpr long kDaySeconds = 24 * 60 * 60;

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return std::tolower((unsigned char)x) == std::tolower((unsigned char)y); });
}

// Self-signed, expired since yesterday, for a host that is not 127.0.0.1:
// every check a client could make fails.
SSL_CTX* makeUntrustedTlsContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    if (!context || !key || !cert) throw std::runtime_error("TLS set-up failed");
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -2 * kDaySeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert), -kDaySeconds);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("wrong-host.invalid"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_set_pubkey(cert, key);
    X509_sign(cert, key, EVP_sha256());
    bool ok = SSL_CTX_use_certificate(context, cert) == 1 && SSL_CTX_use_PrivateKey(context, key) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    if (!ok) throw std::runtime_error("TLS certificate rejected");
    return context;
}

}  // namespace

std::string ReceivedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (equalNoCase(key, name)) return value;
    return "";
}

bool ReceivedRequest::hasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& field) { return equalNoCase(field.first, name); });
}

ServerConnection::ServerConnection(LoopbackHttpServer& server, int fd, void* ssl)
    : server_(server), fd_(fd), ssl_(ssl) {}

bool ServerConnection::send(const void* data, std::size_t length) {
    const char* p = static_cast<const char*>(data);
    while (length > 0 && !dropped_) {
        long n = ssl_ ? SSL_write(static_cast<SSL*>(ssl_), p, static_cast<int>(std::min<std::size_t>(length, 1 << 30)))
                      : ::send(fd_, p, length, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return !dropped_;
}

bool ServerConnection::receive(std::string& buffer) {
    char chunk[16384];
    long n = ssl_ ? SSL_read(static_cast<SSL*>(ssl_), chunk, sizeof chunk) : ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

void ServerConnection::respond(int status, const std::string& reason, const HeaderList& headers,
                               const std::string& body) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    text += body;
    send(text);
}

void ServerConnection::serveFile(const ReceivedRequest& request, const std::string& content) {
    const std::string range = request.header("Range");
    const std::string prefix = "bytes=";
    if (range.compare(0, prefix.size(), prefix) != 0) {
        respond(200, "OK", {{"Accept-Ranges", "bytes"}}, content);
        return;
    }
    std::size_t dash = range.find('-', prefix.size());
    uint64_t first = std::stoull(range.substr(prefix.size(), dash - prefix.size()));
    uint64_t last = content.empty() ? 0 : content.size() - 1;
    if (dash != std::string::npos && dash + 1 < range.size()) last = std::min<uint64_t>(last, std::stoull(range.substr(dash + 1)));
    if (first >= content.size()) {
        respond(416, "Range Not Satisfiable", {{"Content-Range", "bytes */" + std::to_string(content.size())}}, "");
        return;
    }
    respond(206, "Partial Content",
            {{"Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                   std::to_string(content.size())}},
            content.substr(first, last - first + 1));
}

void ServerConnection::drop() {
    dropped_ = true;
    ::shutdown(fd_, SHUT_RDWR);
}

void ServerConnection::hold() { server_.waitStopped(); }

LoopbackHttpServer::LoopbackHttpServer(Handler handler, Tls tls, const std::string& address,
                                       uint16_t port)
    : handler_(std::move(handler)), tls_(tls), address_(address) {
    // TLS writes (session tickets, close notifications) go through plain
    // write() and may meet a client that already hung up.
    std::signal(SIGPIPE, SIG_IGN);
    if (tls_ == Tls::SelfSigned) sslContext_ = makeUntrustedTlsContext();
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    if (::inet_pton(AF_INET, address_.c_str(), &bound.sin_addr) != 1 ||
        (ntohl(bound.sin_addr.s_addr) >> 24) != 127)
        throw std::runtime_error("loopback server: not a loopback address: " + address_);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
        ::listen(listenFd_, 64) != 0)
        throw std::runtime_error("loopback server: cannot listen on " + address_ + ":" +
                                 std::to_string(port));
    socklen_t length = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    stop();
    if (sslContext_) SSL_CTX_free(static_cast<SSL_CTX*>(sslContext_));
}

void LoopbackHttpServer::stop() {
    if (stopping_.exchange(true)) return;
    if (acceptThread_.joinable()) acceptThread_.join();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    for (std::thread& thread : connections_) thread.join();
    ::close(listenFd_);
}

std::string LoopbackHttpServer::url(const std::string& path) const {
    return std::string(tls_ == Tls::Off ? "http" : "https") + "://" + address_ + ":" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> LoopbackHttpServer::requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

bool LoopbackHttpServer::waitForRequests(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= count; });
}

void LoopbackHttpServer::waitStopped() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping(); });
}

void LoopbackHttpServer::acceptLoop() {
    while (!stopping()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kAcceptPollMs) <= 0) continue;
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::lock_guard<std::mutex> guard(mutex_);
        openFds_.push_back(fd);
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

namespace {

// Splits one request head; false when it is not HTTP.
bool parseHead(const std::string& head, ReceivedRequest& out) {
    std::size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    std::size_t a = line.find(' ');
    std::size_t b = line.find(' ', a + 1);
    if (a == std::string::npos || b == std::string::npos) return false;
    out.method = line.substr(0, a);
    out.target = line.substr(a + 1, b - a - 1);
    out.version = line.substr(b + 1);
    std::size_t pos = lineEnd + 2;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos) end = head.size();
        std::string field = head.substr(pos, end - pos);
        std::size_t colon = field.find(':');
        if (colon != std::string::npos) {
            std::size_t value = field.find_first_not_of(" \t", colon + 1);
            out.headers.emplace_back(field.substr(0, colon),
                                     value == std::string::npos ? "" : field.substr(value));
        }
        pos = end + 2;
    }
    return true;
}

}  // namespace

void LoopbackHttpServer::serve(int fd) {
    SSL* ssl = nullptr;
    if (sslContext_) {
        ssl = SSL_new(static_cast<SSL_CTX*>(sslContext_));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            ssl = nullptr;
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    ServerConnection connection(*this, fd, ssl);
    std::string buffer;
    bool usable = !sslContext_ || ssl;
    while (usable && !stopping() && !connection.dropped_ && !connection.closeAfter_) {
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos)
            if (!connection.receive(buffer)) goto done;
        ReceivedRequest request;
        if (!parseHead(buffer.substr(0, headEnd), request)) break;
        buffer.erase(0, headEnd + 4);
        std::size_t bodyLength = 0;
        if (request.hasHeader("Content-Length")) bodyLength = std::stoul(request.header("Content-Length"));
        while (buffer.size() < bodyLength)
            if (!connection.receive(buffer)) goto done;
        request.body = buffer.substr(0, bodyLength);
        buffer.erase(0, bodyLength);
        {
            std::lock_guard<std::mutex> guard(mutex_);
            requests_.push_back(request);
        }
        changed_.notify_all();
        handler_(request, connection);
    }
done:
    if (ssl) {
        if (!connection.dropped_) SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

}  // namespace tavotest
