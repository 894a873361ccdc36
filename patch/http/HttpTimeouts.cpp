#include "HttpTimeouts.h"

#include <atomic>

namespace tavo {

namespace {
constexpr HttpTimeouts kDefaultTimeouts{};
std::atomic<uint32_t> connectMs{kDefaultTimeouts.connectMs};
std::atomic<uint32_t> noProgressMs{kDefaultTimeouts.noProgressMs};
}  // namespace

HttpTimeouts currentHttpTimeouts() { return {connectMs.load(), noProgressMs.load()}; }

namespace testing {
void setHttpTimeouts(const HttpTimeouts& timeouts) {
    connectMs.store(timeouts.connectMs);
    noProgressMs.store(timeouts.noProgressMs);
}
void restoreDefaultHttpTimeouts() { setHttpTimeouts(kDefaultTimeouts); }
}  // namespace testing

}  // namespace tavo
