#include "PatchFileNames.h"

#include <string_view>

#include "DownloadCodes.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"

namespace tavo {

namespace {

constexpr int kDecimalDigits = 10;
constexpr int kNibbleBits = 4;
constexpr const char* kInfoSuffix = ".info";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + kDecimalDigits;
    if (c >= 'A' && c <= 'F') return c - 'A' + kDecimalDigits;
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>((hexValue(text[i + 1]) << kNibbleBits) | hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isSafeComponent(std::string_view text) {
    if (text.empty() || text == "." || text == "..") return false;
    for (char c : text)
        if (isSeparator(c)) return false;
    return true;
}

bool isSafeName(std::string_view text) { return isSafeComponent(text) && isSafeComponent(percentDecoded(text)); }

}  // namespace

bool derivePatchFileNames(const std::string& address, const std::string& downloadDirectory,
                          PatchFileNames& out) {
    std::string_view u = address;
    const std::size_t query = u.rfind('?');
    if (query != std::string_view::npos) u = u.substr(0, query);
    const std::size_t last = u.rfind('/');
    if (last == std::string_view::npos || last == 0) {
        pushError(kErrUnsafePatchName);
        return false;
    }
    const std::string_view name = u.substr(last + 1);
    const std::size_t previous = u.rfind('/', last - 1);
    const std::string_view segment =
        previous == std::string_view::npos ? std::string_view() : u.substr(previous + 1, last - previous - 1);
    if (!isSafeName(name) || !isSafeName(segment)) {
        pushError(kErrUnsafePatchName);
        return false;
    }
    std::string base = downloadDirectory;
    stripTrailingSeparator(base);
    out.directory = base + "/zanthpatch/" + std::string(segment) + "/patch";
    out.patchPath = out.directory + "/" + std::string(name);
    out.infoPath = out.patchPath + kInfoSuffix;
    return true;
}

}  // namespace tavo
