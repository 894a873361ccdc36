#include "PatchListLine.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace tavo {

namespace {

bool isStreamSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

using FieldSetter = void (*)(PatchListEntry&, std::string_view);

void setPatchSize(PatchListEntry& e, std::string_view f) { e.patchSize = leadingDecimalU64(f); }
void setInstallFileSize(PatchListEntry& e, std::string_view f) { e.installFileSize = leadingDecimalU64(f); }
void setExtra1(PatchListEntry& e, std::string_view f) { e.extra1 = leadingDecimalU64(f); }
void setExtra2(PatchListEntry& e, std::string_view f) { e.extra2 = leadingDecimalU64(f); }
void setVersion(PatchListEntry& e, std::string_view f) { e.version = f; }
void setExtraText(PatchListEntry& e, std::string_view f) { e.extraText = f; }
void setHashBlockSize(PatchListEntry& e, std::string_view f) { e.hashBlockSize = leadingDecimalU64(f); }
void setHashes(PatchListEntry& e, std::string_view f) { e.hashes = f; }

// Positions 1 to 8 of a line; fields after them, up to the last, are ignored.
constexpr FieldSetter kPositionalFields[] = {
    setPatchSize, setInstallFileSize, setExtra1, setExtra2,
    setVersion,   setExtraText,       setHashBlockSize, setHashes,
};

std::vector<std::string_view> splitAtTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) break;
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace

uint64_t leadingDecimalU64(std::string_view text) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    std::size_t i = 0;
    while (i < text.size() && isStreamSpace(text[i])) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<uint64_t>(text[i] - '0');
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

PatchListEntry parsePatchListLine(std::string_view line) {
    const std::vector<std::string_view> fields = splitAtTabs(line);
    PatchListEntry entry;
    entry.url = fields.back();
    const std::size_t positional = std::min(fields.size() - 1, std::size(kPositionalFields));
    for (std::size_t i = 0; i < positional; ++i) kPositionalFields[i](entry, fields[i]);
    return entry;
}

}  // namespace tavo
