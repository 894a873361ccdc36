// The data blocks of an "F" add operation: 16-byte headers in the target
// platform's byte order, raw DEFLATE or stored data, padded to 128 bytes.
#pragma once

#include <cstdint>

namespace tavo {

constexpr uint32_t kBlockHeaderSize = 16;
constexpr uint32_t kBlockDataMax = 16384;
constexpr uint32_t kStoredMarker = 32000;

// Walks the block headers only: checks every header and data range against
// the payload and sums the data lengths. Pushes its code and fails on a block
// that does not fit.
bool measureFileBlocks(const uint8_t* payload, uint64_t length, bool bigEndian, uint64_t* total);

// Writes exactly `total` bytes (as measured) to out; every compressed block
// must inflate cleanly to its data length.
bool decodeFileBlocks(const uint8_t* payload, uint64_t length, bool bigEndian, uint8_t* out,
                      uint64_t total);

}  // namespace tavo
