// The Mendrel patch file layout: signature, chunk tags, command header
// lengths and the decoded records handed to the reader's handlers.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace tavo {

constexpr uint8_t kMendrelSignature[12] = {0x91, 'M', 'E', 'N', 'D', 'R', 'E', 'L',
                                           0x0D, 0x0A, 0x1A, 0x0A};

using ChunkTag = std::array<char, 4>;
constexpr ChunkTag kTagFileHeader{'F', 'H', 'D', 'R'};
constexpr ChunkTag kTagApfs{'A', 'P', 'F', 'S'};
constexpr ChunkTag kTagApply{'A', 'P', 'L', 'Y'};
constexpr ChunkTag kTagCommand{'T', 'V', 'P', 'K'};
constexpr ChunkTag kTagAddDirectory{'A', 'D', 'I', 'R'};
constexpr ChunkTag kTagDeleteDirectory{'D', 'E', 'L', 'D'};
constexpr ChunkTag kTagEntry{'E', 'T', 'R', 'Y'};
constexpr ChunkTag kTagEnd{'E', 'O', 'F', '_'};

constexpr uint32_t kFileHeaderMax = 244;
constexpr uint32_t kApfsBodySize = 20;
constexpr uint32_t kApplyBodySize = 12;
constexpr uint32_t kNameLengthMax = 0x300000;
constexpr uint32_t kDirectoryTrailer = 8;
constexpr uint32_t kCommonCommandBytes = 8;
constexpr uint32_t kArchiveBlock = 128;
constexpr uint32_t kHeaderWritePayload = 1024;

// The 244-byte file header: bytes 0-7 as stored, then 59 values in host order.
struct FileHeaderRecord {
    uint8_t raw[8];
    uint32_t values[59];
    uint8_t version() const { return raw[2]; }
};
static_assert(sizeof(FileHeaderRecord) == kFileHeaderMax, "file header layout");

// One "TVPK" command, header fields in host order. `record` is the whole
// command record as read (innerSize bytes), `payload` points behind its header.
struct CommandRecord {
    uint32_t innerSize = 0;
    char command = 0;
    char operation = 0;
    uint8_t reserved6 = 0;  // "H": header kind
    uint16_t mainId = 0;
    uint16_t subId = 0;
    uint32_t fileId = 0;
    uint32_t blockOffset = 0;
    uint32_t blockCount = 0;
    uint32_t deleteBlockCount = 0;
    uint64_t fileOffset = 0;
    uint64_t fileSize = 0;
    uint32_t pathLength = 0;
    uint16_t expansionId = 0;
    int16_t platform = 0;
    uint16_t folderLayout = 0;
    uint64_t extraTotal = 0;
    const uint8_t* record = nullptr;
    const uint8_t* payload = nullptr;
    uint32_t payloadLength = 0;
};

inline bool tagIs(const ChunkTag& tag, const ChunkTag& expected) {
    return std::memcmp(tag.data(), expected.data(), tag.size()) == 0;
}

}  // namespace tavo
