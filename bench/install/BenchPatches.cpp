#include "BenchPatches.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "MendrelWriter.h"

namespace installbench {

namespace {

constexpr std::size_t kSignatureBytes = 12;
constexpr std::size_t kChunkFrame = 12;  // size, tag, checksum
constexpr std::size_t kFileHeaderBytes = 32;
constexpr std::size_t kBlockHeaderBytes = 16;
constexpr uint32_t kStored = 32000;
// Distinct 1 MiB pieces of file data; the patch cycles through them, so the
// level-6 compression stays a few seconds while every block is inflated anew.
constexpr unsigned kDistinctPieces = 64;
constexpr int kCompressionLevel = 6;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint32_t be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
uint32_t le32(const uint8_t* p) { return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]; }

// xorshift64*: archive data that does not compress.
void fillRandom(std::string& out, uint64_t& state) {
    for (std::size_t i = 0; i + 8 <= out.size(); i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const uint64_t v = state * 2685821657736338717ull;
        std::memcpy(out.data() + i, &v, 8);
    }
}

// Words from a small vocabulary with numbers between: compresses about 3:1,
// like the game's text and table assets.
std::string compressiblePiece(unsigned seed) {
    static const char* const kWords[] = {"monster", "item", "quest", "npc", "level", "drop", "skill",
                                         "buff", "zone", "spawn", "rate", "hp", "mp", "gold", "name",
                                         "icon", "sound", "effect", "mesh", "anim"};
    std::string out;
    out.reserve(kFilePieceBytes + 32);
    uint32_t x = seed * 2654435761u + 7;
    while (out.size() < kFilePieceBytes) {
        x = x * 1103515245u + 12345u;
        out += kWords[(x >> 16) % (sizeof kWords / sizeof kWords[0])];
        out += (x & 1) ? '=' : ';';
        out += std::to_string((x >> 8) & 0xFFF);
        out += (x & 2) ? '\n' : ',';
    }
    out.resize(kFilePieceBytes);
    return out;
}

bool startPatch(mendrel::MendrelWriter& w, std::FILE* file) {
    w.fileHeader();
    w.target(mendrel::kWin32, 0, 0);
    return w.drainTo(file);
}

}  // namespace

bool writeArchivePatch(const std::string& patchPath, const std::string& dataPath, uint64_t bytes) {
    FilePtr patch(std::fopen(patchPath.c_str(), "wb"));
    FilePtr data(std::fopen(dataPath.c_str(), "wb"));
    if (!patch || !data) return false;
    mendrel::MendrelWriter w;
    if (!startPatch(w, patch.get())) return false;
    std::string piece(kAddCommandBytes, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (uint64_t at = 0; at < bytes; at += kAddCommandBytes) {
        piece.resize(std::min<uint64_t>(kAddCommandBytes, bytes - at) / mendrel::kBlock * mendrel::kBlock);
        fillRandom(piece, state);
        w.addData(kMainId, 0, 0, static_cast<uint32_t>(at / mendrel::kBlock), piece);
        if (!w.drainTo(patch.get())) return false;
        if (std::fwrite(piece.data(), 1, piece.size(), data.get()) != piece.size()) return false;
    }
    w.end();
    return w.drainTo(patch.get()) && std::fclose(patch.release()) == 0 &&
           std::fclose(data.release()) == 0;
}

bool writeFileAddPatch(const std::string& patchPath, uint64_t bytes) {
    FilePtr patch(std::fopen(patchPath.c_str(), "wb"));
    if (!patch) return false;
    mendrel::MendrelWriter w;
    if (!startPatch(w, patch.get())) return false;
    std::vector<std::string> encoded(kDistinctPieces);
    unsigned index = 0;
    for (uint64_t at = 0; at < bytes; at += kFilePieceBytes, ++index) {
        std::string& blocks = encoded[index % kDistinctPieces];
        if (blocks.empty()) {
            std::string piece = compressiblePiece(index);
            piece.resize(std::min<uint64_t>(kFilePieceBytes, bytes - at));
            blocks = mendrel::encodeFileBlocks(piece, false, true, kCompressionLevel);
        }
        w.fileAdd(kAddedFileName, at, blocks, bytes);
        if (!w.drainTo(patch.get())) return false;
    }
    w.end();
    return w.drainTo(patch.get()) && std::fclose(patch.release()) == 0;
}

// The blocks of one "F" add payload.
static bool listPayloadBlocks(const uint8_t* p, std::size_t length, std::vector<CompressedBlock>& out) {
    for (std::size_t at = 0; at + kBlockHeaderBytes <= length;) {
        const uint32_t headerLength = le32(p + at);
        const uint32_t compressed = le32(p + at + 8);
        const uint32_t dataLength = le32(p + at + 12);
        if (dataLength == 0) break;
        const uint32_t stored = compressed == kStored ? dataLength : compressed;
        if (at + headerLength + stored > length) return false;
        if (compressed != kStored) out.push_back({p + at + headerLength, compressed, dataLength});
        at += (stored + 143) / 128 * 128;
    }
    return true;
}

bool listCompressedBlocks(const std::string& patch, std::vector<CompressedBlock>& out) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(patch.data());
    for (std::size_t at = kSignatureBytes; at + kChunkFrame <= patch.size();) {
        const uint32_t size = be32(bytes + at);
        const uint8_t* body = bytes + at + 8;
        if (at + kChunkFrame + size > patch.size()) return false;
        const bool fileAdd = std::memcmp(bytes + at + 4, "TVPK", 4) == 0 && size >= kFileHeaderBytes &&
                             body[4] == 'F' && std::memchr("DRM", body[5], 3) == nullptr;
        if (fileAdd) {
            const uint32_t pathLength = be32(body + 24);
            if (kFileHeaderBytes + pathLength > size) return false;
            if (!listPayloadBlocks(body + kFileHeaderBytes + pathLength,
                                   size - kFileHeaderBytes - pathLength, out)) {
                return false;
            }
        }
        at += kChunkFrame + size;
    }
    return true;
}

}  // namespace installbench
