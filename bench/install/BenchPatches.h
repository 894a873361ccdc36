// The two patches of the installer benchmark, written with the Mendrel
// writer, and the reference inputs that go with them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace installbench {

// Same sizes as the publisher's tool uses: 4096 blocks per "A" command,
// 1 MiB of file data per "F" add command.
constexpr uint64_t kAddCommandBytes = 4096 * 128;
constexpr uint64_t kFilePieceBytes = 1 << 20;
constexpr uint16_t kMainId = 0x0a;
const char* const kArchiveName = "tvpack/0a0000.win32.dat0";
const char* const kAddedFileName = "data/assets.bin";

// "A" commands writing `bytes` of pseudo-random archive data to data file 0
// of archive (0x0a, 0); the same bytes go to `dataPath` for the cp reference.
bool writeArchivePatch(const std::string& patchPath, const std::string& dataPath, uint64_t bytes);

// "F" add commands producing `bytes` of compressible file data (raw DEFLATE
// blocks of 16384 bytes, level 6) in kAddedFileName.
bool writeFileAddPatch(const std::string& patchPath, uint64_t bytes);

// One compressed block of a patch, as the tight inflate loop takes it.
struct CompressedBlock {
    const uint8_t* data;
    uint32_t compressedLength;
    uint32_t dataLength;
};

// Walks a whole patch held in memory and lists the compressed blocks of its
// "F" add commands (little-endian block headers); false when it is malformed.
bool listCompressedBlocks(const std::string& patch, std::vector<CompressedBlock>& out);

}  // namespace installbench
