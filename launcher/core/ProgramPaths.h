// Where the launcher's program, its patch library and the game folder are.
#pragma once

#include <cstdint>
#include <string>

namespace zanth {

inline constexpr char kPatchLibraryFileName[] = "libtavoPatch.so";

// The running program's file (from /proc/self/exe); empty when unknown.
std::string programFilePath();
// The folder of a path, without its trailing separator.
std::string folderOf(const std::string& path);
// libtavoPatch.so in the running program's folder.
std::string defaultLibraryPath();
// The game folder of the environment in the parent folder of programFolder.
std::string gameDirectoryFor(const std::string& programFolder, int type, bool variant);

struct DiskSpace {
    std::uint64_t total = 0;
    std::uint64_t free = 0;  // available to this user; 0 when unknown
};
DiskSpace queryDiskSpace(const std::string& path);

}  // namespace zanth
