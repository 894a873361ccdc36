// Writes Mendrel patch files: the signature, every chunk kind and every
// "TVPK" command, with compressed or stored file-add blocks. Used by the
// publisher's tools, the tests, the fuzz seeds and the benchmark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace mendrel {

constexpr uint32_t kBlock = 128;
constexpr uint32_t kBlockDataMax = 16384;
constexpr uint32_t kStoredMarker = 32000;

enum Platform : int16_t { kWin32 = 0, kPs3 = 1, kPs4 = 2 };

// The payload of an "F" add operation: `data` cut into pieces of at most
// 16384 bytes, each raw-DEFLATE compressed (or stored), with 16-byte headers
// in the platform's byte order, padded to multiples of 128 bytes.
std::string encodeFileBlocks(std::string_view data, bool bigEndian, bool compress, int level = 6);

// Big-endian field appenders, also handy for hand-made records.
void putBe16(std::string& out, uint16_t v);
void putBe32(std::string& out, uint32_t v);
void putBe64(std::string& out, uint64_t v);

// A command record: the 8 common bytes (innerSize computed), `fields` (the
// rest of the command's header) and the payload. `innerSizeDelta` skews the
// stored innerSize for damaged records.
std::string commandRecord(char command, char operation, uint8_t byte6, std::string_view fields,
                          std::string_view payload, int64_t innerSizeDelta = 0);

class MendrelWriter {
public:
    MendrelWriter();  // starts with the signature

    // A raw chunk with its checksum; sizeDelta skews only the size field.
    MendrelWriter& chunk(std::string_view tag, std::string_view body, int64_t sizeDelta = 0);

    MendrelWriter& fileHeader(uint8_t version = 1, uint32_t bodySize = 244);
    MendrelWriter& apfs(uint64_t first, uint64_t second);
    MendrelWriter& applyOption(uint32_t optionId, uint32_t value);
    MendrelWriter& addDirectory(std::string_view name);
    MendrelWriter& deleteDirectory(std::string_view name);
    MendrelWriter& end(std::string_view body = {});

    // "TVPK" chunk around a whole command record.
    MendrelWriter& command(std::string_view record, int64_t sizeDelta = 0);
    MendrelWriter& addData(uint16_t mainId, uint16_t subId, uint32_t fileId, uint32_t blockOffset,
                           std::string_view data, uint32_t deleteBlockCount = 0);
    MendrelWriter& deleteData(uint16_t mainId, uint16_t subId, uint32_t fileId,
                              uint32_t blockOffset, uint32_t blockCount);
    MendrelWriter& expandData(uint16_t mainId, uint16_t subId, uint32_t fileId,
                              uint32_t blockOffset, uint32_t blockCount);
    MendrelWriter& headerWrite(char fileKind, char headerKind, uint16_t mainId, uint16_t subId,
                               uint32_t fileId, std::string_view header1024);
    // `blocks` as made by encodeFileBlocks.
    MendrelWriter& fileAdd(std::string_view path, uint64_t fileOffset, std::string_view blocks,
                           uint64_t fileSize = 0);
    MendrelWriter& fileDelete(std::string_view path);
    MendrelWriter& removeRelease(std::string_view path, uint16_t expansionId);
    MendrelWriter& makeDirectory(std::string_view path);
    MendrelWriter& target(int16_t platform, uint16_t folderLayout, uint64_t extraTotal);
    MendrelWriter& commandI();
    MendrelWriter& commandX();

    const std::string& bytes() const { return out_; }
    // Appends the bytes written so far to `file` and forgets them (for
    // patches larger than memory).
    bool drainTo(std::FILE* file);
    bool save(const std::string& path) const;

private:
    MendrelWriter& fileOperation(char operation, std::string_view path, uint64_t fileOffset,
                                 uint64_t fileSize, uint16_t expansionId, std::string_view payload);
    std::string out_;
};

}  // namespace mendrel
