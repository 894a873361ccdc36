#include "PatchLine.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Sha1.h"

namespace zanth::tools {

namespace {
constexpr uint64_t kAlign = 4096;
constexpr std::size_t kReadPiece = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

std::string PatchLine::text() const
{
    return std::to_string(patchSize) + "\t" + std::to_string(installFileSize) + "\t" +
           std::to_string(extra1) + "\t" + std::to_string(extra2) + "\t" + version + "\t" +
           extraText + "\t" + std::to_string(hashBlockSize) + "\t" + hashes + "\t" + url;
}

uint64_t hashBlockSizeFor(uint64_t fileSize)
{
    const uint64_t perBlock = (fileSize + kMaxHashBlocks - 1) / kMaxHashBlocks;
    const uint64_t aligned = (perBlock + kAlign - 1) / kAlign * kAlign;
    return aligned < kMinHashBlockSize ? kMinHashBlockSize : aligned;
}

bool hashFileBlocks(const std::string& path, uint64_t blockSize, uint64_t& size,
                    std::string& hashes, std::string& error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = path + ": cannot open";
        return false;
    }
    std::vector<char> buffer(kReadPiece);
    tavo::Sha1 sha;
    uint64_t inBlock = 0;
    size = 0;
    hashes.clear();
    auto closeBlock = [&] {
        if (!hashes.empty()) hashes += ',';
        hashes += tavo::Sha1::toHex(sha.finish());
        inBlock = 0;
    };
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        for (std::size_t at = 0; at < got;) {
            const std::size_t take =
                static_cast<std::size_t>(std::min<uint64_t>(blockSize - inBlock, got - at));
            sha.update(buffer.data() + at, take);
            at += take;
            inBlock += take;
            if (inBlock == blockSize)
                closeBlock();
        }
        size += got;
        if (got < buffer.size())
            break;
    }
    if (std::ferror(file.get())) {
        error = path + ": read error";
        return false;
    }
    if (inBlock > 0 || size == 0)
        closeBlock();
    return true;
}

bool isPlainField(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

}  // namespace zanth::tools
