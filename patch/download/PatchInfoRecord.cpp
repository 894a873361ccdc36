#include "PatchInfoRecord.h"

#include <algorithm>

namespace tavo {

namespace {

constexpr std::size_t kHashesOffset = 80;
constexpr int kByteBits = 8;

struct FieldSlot {
    std::size_t offset;
    uint64_t PatchInfoRecord::*field;
};

// Offset 72 is reserved (zero).
constexpr FieldSlot kFields[] = {
    {0, &PatchInfoRecord::enabled},         {8, &PatchInfoRecord::recordSize},
    {16, &PatchInfoRecord::hashBlockSize},  {24, &PatchInfoRecord::verifiedBlocks},
    {32, &PatchInfoRecord::patchSize},      {40, &PatchInfoRecord::lastError},
    {48, &PatchInfoRecord::hashCount},      {56, &PatchInfoRecord::saveTime},
    {64, &PatchInfoRecord::resumeCount},
};

void putLe64(uint8_t* out, uint64_t value) {
    for (std::size_t i = 0; i < sizeof value; ++i) out[i] = static_cast<uint8_t>(value >> (kByteBits * i));
}

uint64_t getLe64(const uint8_t* in) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof value; ++i) value |= static_cast<uint64_t>(in[i]) << (kByteBits * i);
    return value;
}

}  // namespace

PatchInfoRecord::Bytes PatchInfoRecord::toBytes() const {
    Bytes bytes{};
    for (const FieldSlot& slot : kFields) putLe64(bytes.data() + slot.offset, this->*slot.field);
    for (std::size_t i = 0; i < kMaxBlockHashes; ++i)
        std::copy(hashes[i].begin(), hashes[i].end(), bytes.begin() + kHashesOffset + i * kBlockDigestSize);
    return bytes;
}

PatchInfoRecord PatchInfoRecord::fromBytes(const Bytes& bytes) {
    PatchInfoRecord record;
    for (const FieldSlot& slot : kFields) record.*slot.field = getLe64(bytes.data() + slot.offset);
    for (std::size_t i = 0; i < kMaxBlockHashes; ++i) {
        auto first = bytes.begin() + kHashesOffset + i * kBlockDigestSize;
        std::copy(first, first + kBlockDigestSize, record.hashes[i].begin());
    }
    return record;
}

bool PatchInfoRecord::describesSamePatch(const PatchInfoRecord& other) const {
    if (hashBlockSize != other.hashBlockSize || patchSize != other.patchSize ||
        hashCount != other.hashCount || hashCount > kMaxBlockHashes)
        return false;
    return std::equal(hashes.begin(), hashes.begin() + hashCount, other.hashes.begin());
}

}  // namespace tavo
