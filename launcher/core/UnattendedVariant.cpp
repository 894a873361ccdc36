#include "core/UnattendedVariant.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace zanth {

namespace {

constexpr std::size_t kHostNameSize = 256;

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::string firstIpv4Address() {
    char host[kHostNameSize] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};

    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return {};
    std::unique_ptr<addrinfo, AddrInfoFree> list(found);

    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) return {};
    return text;
}

bool variantFromAddress(const std::string& address) {
    if (address.empty()) return false;
    const char last = address.back();
    if (last < '0' || last > '9') return false;
    return (last - '0') % 2 == 0;
}

}  // namespace zanth
