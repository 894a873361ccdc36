#include "FileAddBlocks.h"

#include <cstring>

#include <zlib.h>

#include "ByteOrder.h"
#include "InstallCodes.h"
#include "ProcessState.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr uint64_t kPaddingAddend = 143;
constexpr uint64_t kPaddingMask = ~uint64_t{127};

struct Block {
    uint64_t dataStart = 0;
    uint32_t storedLength = 0;  // bytes of the block's data in the payload
    uint32_t dataLength = 0;
    bool stored = false;
    uint64_t next = 0;
};

// False (code pushed) when the block at `at` does not fit the payload.
bool readBlock(const uint8_t* payload, uint64_t length, uint64_t at, bool bigEndian, Block& b) {
    if (length - at < kBlockHeaderSize) {
        pushError(kErrBlockBounds);
        return false;
    }
    const uint8_t* h = payload + at;
    const uint32_t headerLength = load32(h, bigEndian);
    const uint32_t compressedLength = load32(h + 8, bigEndian);
    b.dataLength = load32(h + 12, bigEndian);
    if (b.dataLength == 0) return true;
    if (b.dataLength > kBlockDataMax) {
        pushError(kErrBlockDataLength);
        return false;
    }
    b.stored = compressedLength == kStoredMarker;
    b.storedLength = b.stored ? b.dataLength : compressedLength;
    b.dataStart = at + headerLength;
    if (b.dataStart > length || length - b.dataStart < b.storedLength) {
        pushError(kErrBlockBounds);
        return false;
    }
    b.next = at + ((b.storedLength + kPaddingAddend) & kPaddingMask);
    return true;
}

bool inflateBlock(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outLength) {
    z_stream* z = sharedInflater();
    if (z == nullptr || inflateReset(z) != Z_OK) {
        pushError(kErrBlockInflate);
        return false;
    }
    z->next_in = const_cast<Bytef*>(in);
    z->avail_in = inLength;
    z->next_out = out;
    z->avail_out = outLength;
    const int rc = inflate(z, Z_FINISH);
    if (rc != Z_STREAM_END || z->total_out != outLength) {
        pushError(kErrBlockInflate);
        return false;
    }
    return true;
}

}  // namespace

bool measureFileBlocks(const uint8_t* payload, uint64_t length, bool bigEndian, uint64_t* total) {
    *total = 0;
    for (uint64_t at = 0; at < length;) {
        Block b;
        if (!readBlock(payload, length, at, bigEndian, b)) return false;
        if (b.dataLength == 0) break;
        *total += b.dataLength;
        at = b.next;
    }
    return true;
}

bool decodeFileBlocks(const uint8_t* payload, uint64_t length, bool bigEndian, uint8_t* out,
                      uint64_t total) {
    uint64_t written = 0;
    for (uint64_t at = 0; at < length && written < total;) {
        Block b;
        if (!readBlock(payload, length, at, bigEndian, b)) return false;
        if (b.dataLength == 0 || total - written < b.dataLength) break;
        const uint8_t* data = payload + b.dataStart;
        if (b.stored) {
            std::memcpy(out + written, data, b.dataLength);
        } else if (!inflateBlock(data, b.storedLength, out + written, b.dataLength)) {
            return false;
        }
        written += b.dataLength;
        at = b.next;
    }
    return written == total;
}

}  // namespace tavo
