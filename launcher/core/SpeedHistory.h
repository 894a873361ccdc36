// Download speed samples of an update run and the figures derived from them:
// the average over the samples that count and the remaining minutes.
#pragma once

#include <array>
#include <cstdint>

namespace zanth {

class SpeedHistory {
public:
    static constexpr std::size_t kSamples = 10;

    // Newest first; the oldest sample is dropped.
    void push(std::uint64_t bytesPerSecond);
    // Zero samples at the old end do not count, zeros between others do.
    std::uint64_t average() const;
    void clear() { samples_.fill(0); }
    const std::array<std::uint64_t, kSamples>& samples() const { return samples_; }

private:
    std::array<std::uint64_t, kSamples> samples_{};
};

// Remaining minutes for rest bytes at an average speed; never below 1.
int remainingMinutes(std::uint64_t restBytes, std::uint64_t averageBytesPerSecond);

}  // namespace zanth
