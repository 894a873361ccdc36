#include "core/ProgramPaths.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>

#include "core/Environment.h"

namespace zanth {

std::string programFilePath() {
    char buffer[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string defaultLibraryPath() {
    return folderOf(programFilePath()) + "/" + kPatchLibraryFileName;
}

std::string gameDirectoryFor(const std::string& programFolder, int type, bool variant) {
    return folderOf(programFolder) + "/" + environmentRow(type, variant).gameFolder;
}

DiskSpace queryDiskSpace(const std::string& path) {
    struct statvfs fs{};
    if (statvfs(path.c_str(), &fs) != 0) return {};
    return DiskSpace{static_cast<std::uint64_t>(fs.f_blocks) * fs.f_frsize,
                     static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize};
}

}  // namespace zanth
