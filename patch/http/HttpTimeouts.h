// Time-outs of the HTTP service: connect 60 s, and 30 s without progress
// while sending or receiving. Only tests change them.
#pragma once

#include <cstdint>

namespace tavo {

struct HttpTimeouts {
    uint32_t connectMs = 60000;
    uint32_t noProgressMs = 30000;
};

HttpTimeouts currentHttpTimeouts();

namespace testing {
// Applies to requests sent afterwards; never called by the product.
void setHttpTimeouts(const HttpTimeouts& timeouts);
void restoreDefaultHttpTimeouts();
}  // namespace testing

}  // namespace tavo
