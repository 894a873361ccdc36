#include "BlockHashText.h"

#include <algorithm>

#include "DownloadCodes.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr std::size_t kHexDigits = 2 * kBlockDigestSize;
constexpr int kNibbleBits = 4;
constexpr int kDecimalDigits = 10;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + kDecimalDigits;
    if (c >= 'A' && c <= 'F') return c - 'A' + kDecimalDigits;
    return -1;
}

bool readDigest(std::string_view piece, PatchInfoRecord::Digest& out) {
    if (piece.size() < kHexDigits) return false;
    for (std::size_t i = 0; i < kBlockDigestSize; ++i) {
        const int high = hexValue(piece[2 * i]);
        const int low = hexValue(piece[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        out[i] = static_cast<uint8_t>((high << kNibbleBits) | low);
    }
    return true;
}

}  // namespace

bool readBlockHashes(std::string_view text, PatchInfoRecord& record) {
    const std::size_t pieces = static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1;
    if (pieces > kMaxBlockHashes) {
        pushError(kErrTooManyHashes);
        return false;
    }
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t comma = text.find(',');
        if (!readDigest(text.substr(0, comma), record.hashes[i])) {
            pushError(kErrBadHashText);
            return false;
        }
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    }
    record.hashCount = pieces;
    return true;
}

}  // namespace tavo
