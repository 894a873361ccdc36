#include "ArchivePaths.h"

#include <array>
#include <cstdio>

#include "ProcessState.h"
#include "platform/FileSystem.h"

namespace tavo {

namespace {

constexpr const char* kPlatformNames[] = {"win32", "ps3", "ps4"};
constexpr const char* kRegionPrefixes[] = {"", ".chs", ".ko"};
constexpr std::size_t kCandidateCount = 18;

std::array<std::string, kCandidateCount> buildCandidates() {
    std::array<std::string, kCandidateCount> out;
    std::size_t i = 0;
    for (const char* platform : kPlatformNames) {
        for (const char* region : kRegionPrefixes) {
            const std::string base = std::string(region) + "." + platform;
            out[i++] = base;
            out[i++] = base + ".d";
        }
    }
    return out;
}

const std::array<std::string, kCandidateCount>& candidates() {
    static const auto list = buildCandidates();
    return list;
}

std::string folderText(uint16_t mainId, uint16_t subId, bool releaseLayout) {
    char text[64];
    if (releaseLayout) {
        if (subId == 0) return "/zanth";
        std::snprintf(text, sizeof text, "/ex%d", subId >> 8);
        return text;
    }
    if (subId == 0) return "";
    std::snprintf(text, sizeof text, "/%02x/%x/%x/%x", mainId, subId >> 12, (subId >> 8) & 15,
                  (subId >> 4) & 15);
    return text;
}

std::string dataFileName(const std::string& folder, uint16_t mainId, uint16_t subId,
                         const std::string& candidate, uint32_t fileId, DataFileVariant variant) {
    char text[160];
    std::snprintf(text, sizeof text, "/tvpack%s/%02x%04x%s.dat%u%s", folder.c_str(), mainId, subId,
                  candidate.c_str(), fileId, variant == DataFileVariant::Sdat ? ".sdat" : "");
    return text;
}

// One pass over the 18 candidates in the given layout.
std::string probeLayout(const std::string& dir, uint16_t mainId, uint16_t subId, uint32_t fileId,
                        DataFileVariant variant, bool releaseLayout) {
    const std::string folder = folderText(mainId, subId, releaseLayout);
    for (const std::string& candidate : candidates()) {
        if (fileExists(dir + dataFileName(folder, mainId, subId, candidate, 0, variant))) {
            return dir + dataFileName(folder, mainId, subId, candidate, fileId, variant);
        }
    }
    return "";
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string resolveDataFilePath(const std::string& dir, uint16_t mainId, uint16_t subId,
                                uint32_t fileId, DataFileVariant variant) {
    std::string path = probeLayout(dir, mainId, subId, fileId, variant, folderLayoutFlag());
    if (!path.empty() || folderLayoutFlag()) return path;
    setFolderLayoutFlag();
    return probeLayout(dir, mainId, subId, fileId, variant, true);
}

// Both variants are probed in the current layout before the fallback that
// switches the process to the release layout, so an old-layout installation
// without ".sdat" files keeps its layout.
std::string databasePath(const std::string& dir, uint16_t mainId, uint16_t subId) {
    std::string path;
    if (!folderLayoutFlag()) {
        path = probeLayout(dir, mainId, subId, 0, DataFileVariant::Sdat, false);
        if (path.empty()) path = probeLayout(dir, mainId, subId, 0, DataFileVariant::Plain, false);
    }
    if (path.empty()) path = resolveDataFilePath(dir, mainId, subId, 0, DataFileVariant::Sdat);
    if (path.empty()) path = resolveDataFilePath(dir, mainId, subId, 0, DataFileVariant::Plain);
    if (path.empty()) return "";
    if (endsWith(path, ".sdat")) path.resize(path.size() - 5);
    if (endsWith(path, ".dat0")) path.resize(path.size() - 5);
    path += ".tvdb";
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && path.compare(slash, 2, "/_") != 0) path.insert(slash + 1, 1, '_');
    return path;
}

}  // namespace tavo
