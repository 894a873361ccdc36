// Where the data files of an archive (main id, sub id) live in an
// installation, in the old numbered-folder layout or the release-folder layout.
#pragma once

#include <cstdint>
#include <string>

namespace tavo {

enum class DataFileVariant { Plain, Sdat };

// The path of data file `fileId`, with the platform and region part of the
// name taken from the archive's existing data file 0. When no data file 0
// exists and the folder-layout flag is clear, the flag is set and the release
// layout is tried. Empty when nothing is found.
std::string resolveDataFilePath(const std::string& installDirectory, uint16_t mainId,
                                uint16_t subId, uint32_t fileId, DataFileVariant variant);

// Empty when the archive has no data file 0 in either variant.
std::string databasePath(const std::string& installDirectory, uint16_t mainId, uint16_t subId);

}  // namespace tavo
