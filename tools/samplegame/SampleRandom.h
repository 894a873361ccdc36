// Small deterministic generator (splitmix64), so that a seed gives the same
// builds with every compiler and standard library.
#pragma once

#include <cstdint>
#include <string>

namespace zanth::tools {

class SampleRandom {
public:
    explicit SampleRandom(uint64_t seed) : state_(seed) {}

    uint64_t next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high] (both inclusive); high >= low.
    uint64_t range(uint64_t low, uint64_t high) { return low + next() % (high - low + 1); }
    bool chance(unsigned percent) { return range(0, 99) < percent; }

    std::string randomBytes(std::size_t length);
    // Text made of a small vocabulary: compresses well, like scripts and tables.
    std::string words(std::size_t length);

private:
    uint64_t state_;
};

}  // namespace zanth::tools
