#include "SocketClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavotest {

std::string RawAnswer::field(const std::string& name) const
{
    std::size_t at = head.find("\r\n");
    while (at != std::string::npos && at + 2 < head.size()) {
        const std::size_t end = head.find("\r\n", at + 2);
        const std::string line = head.substr(at + 2, end - at - 2);
        const std::size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0)
            return line.substr(line.find_first_not_of(' ', colon + 1));
        at = end;
    }
    return {};
}

RawAnswer exchange(const std::string& address, uint16_t port, const std::string& request)
{
    RawAnswer answer;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        if (fd >= 0)
            ::close(fd);
        return answer;
    }
    const timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string data;
    char piece[8192];
    ssize_t got = 0;
    while ((got = ::recv(fd, piece, sizeof piece, 0)) > 0)
        data.append(piece, static_cast<std::size_t>(got));
    ::close(fd);
    // A "100 Continue" interim answer may come first.
    while (data.starts_with("HTTP/1.1 100")) {
        const std::size_t end = data.find("\r\n\r\n");
        data = end == std::string::npos ? std::string() : data.substr(end + 4);
    }
    const std::size_t end = data.find("\r\n\r\n");
    if (!data.starts_with("HTTP/1.1 ") || end == std::string::npos)
        return answer;
    answer.status = std::stoi(data.substr(9, 3));
    answer.head = data.substr(0, end + 2);
    answer.body = data.substr(end + 4);
    return answer;
}

}  // namespace tavotest
