// Names of archive data files in the release-folder layout
// (tvpack/zanth/0a0000.win32.dat1, tvpack/ex1/0a0100.ko.win32.d.dat0, ...)
// and the data file the installer's path resolution picks for an id triple.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zanth::tools {

struct ArchiveFile {
    uint16_t mainId = 0;
    uint16_t subId = 0;
    uint32_t fileId = 0;
    std::string suffix;  // platform and region part, e.g. ".win32"
};

// True for a data file name in its proper release folder.
bool parseArchiveFile(const std::string& path, ArchiveFile& file);

// The path the installer resolves for (mainId, subId, fileId) when the tree
// holds `files` (release layout): the first candidate suffix whose data file 0
// exists. Empty when the archive has no data file 0.
std::string resolvedArchivePath(const std::map<std::string, uint64_t>& files, uint16_t mainId,
                                uint16_t subId, uint32_t fileId);

}  // namespace zanth::tools
