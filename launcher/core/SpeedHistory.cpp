#include "core/SpeedHistory.h"

#include <algorithm>

namespace zanth {

void SpeedHistory::push(std::uint64_t bytesPerSecond) {
    std::copy_backward(samples_.begin(), samples_.end() - 1, samples_.end());
    samples_[0] = bytesPerSecond;
}

std::uint64_t SpeedHistory::average() const {
    std::size_t counted = kSamples;
    while (counted > 0 && samples_[counted - 1] == 0) --counted;
    if (counted == 0) return 0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < counted; ++i) sum += samples_[i];
    return sum / counted;
}

int remainingMinutes(std::uint64_t restBytes, std::uint64_t averageBytesPerSecond) {
    constexpr std::uint32_t kSecondsPerMinute = 60;
    // The estimate keeps the low 32 bits of the seconds, as the page expects.
    const std::uint32_t seconds =
        averageBytesPerSecond == 0 ? 0 : static_cast<std::uint32_t>(restBytes / averageBytesPerSecond);
    return static_cast<int>(seconds / kSecondsPerMinute + 1);
}

}  // namespace zanth
