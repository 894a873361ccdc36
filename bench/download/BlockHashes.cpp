#include "BlockHashes.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Sha1.h"

namespace zanthbench {

namespace {

constexpr std::size_t kReadPiece = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string blockHashes(const std::string& path, uint64_t size, uint64_t blockSize) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || blockSize == 0) return {};
    std::vector<char> piece(kReadPiece);
    tavo::Sha1 sha;
    std::string text;
    for (uint64_t at = 0; at < size; at += blockSize) {
        uint64_t left = std::min(blockSize, size - at);
        while (left > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(left, piece.size()));
            if (std::fread(piece.data(), 1, want, file.get()) != want) return {};
            sha.update(piece.data(), want);
            left -= want;
        }
        if (!text.empty()) text += ",";
        text += tavo::Sha1::toHex(sha.finish());
    }
    return text;
}

}  // namespace zanthbench
