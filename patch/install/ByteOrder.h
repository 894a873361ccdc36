// Reading and writing integers of a given byte order from byte buffers.
#pragma once

#include <cstdint>

namespace tavo {

inline uint16_t loadBe16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t loadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint64_t loadBe64(const uint8_t* p) {
    return (uint64_t{loadBe32(p)} << 32) | loadBe32(p + 4);
}
inline uint32_t loadLe32(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}
inline uint32_t load32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? loadBe32(p) : loadLe32(p);
}
inline void store32(uint8_t* p, uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        p[i] = static_cast<uint8_t>(v >> shift);
    }
}

}  // namespace tavo
