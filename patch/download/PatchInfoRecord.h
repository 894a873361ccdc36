// The verification table of one patch file, and its ".info" file form:
// 5200 bytes, little-endian, field by field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavo {

constexpr std::size_t kInfoRecordSize = 5200;
constexpr std::size_t kMaxBlockHashes = 256;
constexpr std::size_t kBlockDigestSize = 20;

struct PatchInfoRecord {
    using Digest = std::array<uint8_t, kBlockDigestSize>;
    using Bytes = std::array<uint8_t, kInfoRecordSize>;

    uint64_t enabled = 0;
    uint64_t recordSize = kInfoRecordSize;
    uint64_t hashBlockSize = 0;
    uint64_t verifiedBlocks = 0;
    uint64_t patchSize = 0;
    uint64_t lastError = 0;
    uint64_t hashCount = 0;
    uint64_t saveTime = 0;
    uint64_t resumeCount = 0;
    std::array<Digest, kMaxBlockHashes> hashes{};

    Bytes toBytes() const;
    static PatchInfoRecord fromBytes(const Bytes& bytes);
    // Same patch: block size, patch size and the expected hashes agree.
    bool describesSamePatch(const PatchInfoRecord& other) const;
};

}  // namespace tavo
