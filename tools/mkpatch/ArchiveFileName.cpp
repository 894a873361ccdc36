#include "ArchiveFileName.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

namespace zanth::tools {

namespace {

constexpr std::array<std::string_view, 3> kPlatforms = {"win32", "ps3", "ps4"};

const std::vector<std::string>& candidateSuffixes()
{
    static const std::vector<std::string> suffixes = [] {
        std::vector<std::string> out;
        for (std::string_view p : kPlatforms) {
            const std::string name(p);
            for (const std::string region : {"", ".chs", ".ko"}) {
                out.push_back(region + "." + name);
                out.push_back(region + "." + name + ".d");
            }
        }
        return out;
    }();
    return suffixes;
}

std::string releaseFolder(uint16_t subId)
{
    return subId == 0 ? std::string("zanth") : "ex" + std::to_string(subId >> 8);
}

std::string dataPath(uint16_t mainId, uint16_t subId, const std::string& suffix, uint32_t fileId)
{
    char ids[16];
    std::snprintf(ids, sizeof ids, "%02x%04x", mainId, subId);
    return "tvpack/" + releaseFolder(subId) + "/" + ids + suffix + ".dat" + std::to_string(fileId);
}

bool hexValue(std::string_view text, unsigned& value)
{
    value = 0;
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9', lower = c >= 'a' && c <= 'f';
        if (!digit && !lower)  // the installer formats ids in lower case
            return false;
        value = value * 16 + static_cast<unsigned>(digit ? c - '0' : c - 'a' + 10);
    }
    return true;
}

}  // namespace

bool parseArchiveFile(const std::string& path, ArchiveFile& file)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 7 > path.size())
        return false;
    const std::string name = path.substr(slash + 1);
    unsigned mainId = 0, subId = 0;
    if (!hexValue(std::string_view(name).substr(0, 2), mainId) ||
        !hexValue(std::string_view(name).substr(2, 4), subId))
        return false;
    const std::size_t dat = name.rfind(".dat");
    if (dat == std::string::npos || dat < 6 || dat + 4 == name.size())
        return false;
    const std::string number = name.substr(dat + 4);
    if (number.find_first_not_of("0123456789") != std::string::npos || number.size() > 9 ||
        (number.size() > 1 && number[0] == '0'))
        return false;
    file.mainId = static_cast<uint16_t>(mainId);
    file.subId = static_cast<uint16_t>(subId);
    file.fileId = static_cast<uint32_t>(std::stoul(number));
    file.suffix = name.substr(6, dat - 6);
    bool known = false;
    for (const std::string& s : candidateSuffixes())
        known = known || s == file.suffix;
    return known && path == dataPath(file.mainId, file.subId, file.suffix, file.fileId);
}

std::string resolvedArchivePath(const std::map<std::string, uint64_t>& files, uint16_t mainId,
                                uint16_t subId, uint32_t fileId)
{
    for (const std::string& suffix : candidateSuffixes())
        if (files.count(dataPath(mainId, subId, suffix, 0)))
            return dataPath(mainId, subId, suffix, fileId);
    return {};
}

}  // namespace zanth::tools
