// A minimal HTTP client for the service tests: sends raw bytes to a loopback
// address and reads the answer until the server closes the connection.
#pragma once

#include <cstdint>
#include <string>

namespace tavotest {

struct RawAnswer {
    int status = 0;  // 0: no status line
    std::string head;
    std::string body;
    // Value of a header field, name compared without case; "" when absent.
    std::string field(const std::string& name) const;
};

RawAnswer exchange(const std::string& address, uint16_t port, const std::string& request);

}  // namespace tavotest
