// One patch-list line as the version check parses it: TAB-separated fields
// patchSize, installFileSize, extra1, extra2, version, extraText,
// hashBlockSize, hashes, url.
#pragma once

#include <cstdint>
#include <string>

namespace zanth::tools {

// The comma-separated hashes (40 hex digits each) must fit the client's
// 4096-byte field with its terminating zero: 99 x 41 - 1 = 4058 bytes.
constexpr uint64_t kMaxHashBlocks = 99;
constexpr uint64_t kMinHashBlockSize = 64 * 1024;

struct PatchLine {
    uint64_t patchSize = 0;
    uint64_t installFileSize = 0;
    uint64_t extra1 = 0;
    uint64_t extra2 = 0;
    std::string version;
    std::string extraText;
    uint64_t hashBlockSize = 0;
    std::string hashes;
    std::string url;

    std::string text() const;  // without line end
};

// The smallest block size (a multiple of 4 KiB, at least kMinHashBlockSize)
// that cuts `fileSize` bytes into at most kMaxHashBlocks blocks.
uint64_t hashBlockSizeFor(uint64_t fileSize);

// Streams the file once: its size and the SHA-1 of each block of `blockSize`
// bytes, comma-separated. False (with `error`) when the file cannot be read.
bool hashFileBlocks(const std::string& path, uint64_t blockSize, uint64_t& size,
                    std::string& hashes, std::string& error);

// A version or text field must not break the line apart.
bool isPlainField(const std::string& text);

}  // namespace zanth::tools
