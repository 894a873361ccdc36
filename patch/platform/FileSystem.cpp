#include "FileSystem.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "ErrorStack.h"
#include "File.h"
#include "OsError.h"
#include "PathText.h"

namespace tavo {

namespace {

constexpr uint32_t kCopyChunk = 65536;
constexpr mode_t kNewDirectoryMode = 0777;  // narrowed by the umask

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using CFile = std::unique_ptr<FILE, FileCloser>;

std::size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

bool statPath(const std::string& path, struct stat& st) {
    return ::stat(toSystemPath(path).c_str(), &st) == 0;
}

// The owner's write permission plays the part of the read-only attribute.
bool isReadOnlyMode(mode_t mode) { return (mode & S_IWUSR) == 0; }

// A delete as the system would do it for an attribute-carrying file system: a
// read-only file is refused. errno holds the reason of a failure.
bool deleteOnce(const std::string& path) {
    const std::string systemPath = toSystemPath(path);
    struct stat st;
    if (::lstat(systemPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && isReadOnlyMode(st.st_mode)) {
        errno = EACCES;
        return false;
    }
    return ::unlink(systemPath.c_str()) == 0;
}

// Only a regular file itself: never the target of a link, which may lie elsewhere.
bool clearReadOnlyAttribute(const std::string& path) {
    const std::string systemPath = toSystemPath(path);
    struct stat st;
    if (::lstat(systemPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ::chmod(systemPath.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool makeDirectory(const std::string& path) {
    return ::mkdir(toSystemPath(path).c_str(), kNewDirectoryMode) == 0 || errno == EEXIST;
}

// Symbolic links are not followed, so a walk never leaves the tree it was given.
bool entryIsDirectory(DIR* dir, const dirent* entry) {
    if (entry->d_type != DT_UNKNOWN) return entry->d_type == DT_DIR;
    struct stat st;
    return fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool isDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool matches(const std::string& pattern, const char* name) {
    return fnmatch(pattern.c_str(), name, 0) == 0;
}

}  // namespace

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string fileNameOf(const std::string& path) {
    const std::size_t at = lastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string extensionOf(const std::string& path) {
    const std::size_t at = path.rfind('.');
    return at == std::string::npos ? std::string() : path.substr(at + 1);
}

std::string directoryOf(const std::string& path) {
    const std::size_t at = lastSeparator(path);
    return at == std::string::npos ? path : path.substr(0, at + 1);
}

void stripTrailingSeparator(std::string& path) {
    if (!path.empty() && isSeparator(path.back())) path.pop_back();
}

void normalizeSeparators(std::string& path, char separator) {
    if (separator != '\\' && separator != '/') return;
    const char from = separator == '\\' ? '/' : '\\';
    for (char& c : path) {
        if (c == from) c = separator;
    }
}

bool fileExists(const std::string& path) {
    struct stat st;
    return statPath(path, st) && !S_ISDIR(st.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat st;
    return statPath(path, st) && S_ISDIR(st.st_mode);
}

bool isReadOnlyFile(const std::string& path) {
    struct stat st;
    return statPath(path, st) && !S_ISDIR(st.st_mode) && isReadOnlyMode(st.st_mode);
}

bool getFreeSpace(const std::string& path, uint64_t* freeBytes) {
    if (freeBytes == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    struct statvfs vfs;
    if (::statvfs(toSystemPath(path).c_str(), &vfs) != 0) {
        resetOsError(errno, path.c_str(), OsObject::Directory);
        return false;
    }
    *freeBytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return true;
}

// The fragment size is the allocation unit of the volume.
bool getClusterSize(const std::string& rootPath, uint32_t* clusterSize) {
    if (clusterSize == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    struct statvfs vfs;
    if (::statvfs(toSystemPath(rootPath).c_str(), &vfs) != 0) {
        resetOsError(errno, rootPath.c_str(), OsObject::Directory);
        return false;
    }
    const unsigned long unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    if (unit > UINT32_MAX) {
        resetOsError(EOVERFLOW, rootPath.c_str(), OsObject::Directory);
        return false;
    }
    *clusterSize = static_cast<uint32_t>(unit);
    return true;
}

bool deleteFile(const std::string& path, bool clearReadOnly, int retries, unsigned sleepMs) {
    for (;;) {
        if (deleteOnce(path)) return true;
        int lastErrno = errno;
        if (!fileExists(path)) {
            resetError(kErrDeleteMissingFile);
            return false;
        }
        if (clearReadOnly && clearReadOnlyAttribute(path)) {
            if (deleteOnce(path)) return true;
            lastErrno = errno;
        }
        if (--retries < 0) {
            resetOsError(lastErrno, path.c_str(), OsObject::File);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    }
}

bool createDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (makeDirectory(path)) return true;
    std::string work = path;
    if (!isSeparator(work.back())) work.push_back('/');
    // Index 0 is either the root of an absolute path or part of the first name.
    for (std::size_t i = 1; i < work.size(); ++i) {
        if (isSeparator(work[i]) && !makeDirectory(work.substr(0, i))) return false;
    }
    return true;
}

bool removeDirectory(const std::string& path) {
    clearErrors();
    if (::rmdir(toSystemPath(path).c_str()) != 0) {
        resetOsError(errno, path.c_str(), OsObject::Directory);
        return false;
    }
    return true;
}

uint32_t walkDirectory(const std::string& directory, const std::string& pattern,
                       DirectoryVisitor& visitor) {
    clearErrors();
    uint32_t count = 0;
    std::string base = directory;
    if (base.empty() || !isSeparator(base.back())) base.push_back('/');
    DirHandle dir(opendir(toSystemPath(base).c_str()));
    if (!dir) return count;
    while (const dirent* entry = readdir(dir.get())) {
        if (isDotEntry(entry->d_name) || !matches(pattern, entry->d_name)) continue;
        const std::string full = base + entry->d_name;
        const bool keepGoing = entryIsDirectory(dir.get(), entry) ? visitor.onDirectory(full, count)
                                                                  : visitor.onFile(full, count);
        if (!keepGoing) break;
        clearErrors();
    }
    return count;
}

bool copyFile(const std::string& source, const std::string& destination) {
    File in;
    File out;
    if (!in.open(source.c_str(), "rb", 0) || !out.open(destination.c_str(), "wb", 0)) return false;
    uint64_t remaining = 0;
    if (!in.size(&remaining)) return false;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kCopyChunk]);
    if (!buffer) {
        resetOsError(ENOMEM);
        return false;
    }
    while (remaining > 0) {
        const uint32_t chunk = remaining < kCopyChunk ? static_cast<uint32_t>(remaining) : kCopyChunk;
        uint32_t got = 0;
        uint32_t put = 0;
        if (!in.read(buffer.get(), chunk, &got) || got != chunk) return false;
        if (!out.write(buffer.get(), chunk, &put) || put != chunk) return false;
        remaining -= chunk;
    }
    return true;
}

std::size_t listFiles(std::vector<std::string>& out, const std::string& directory,
                      const std::string& pattern) {
    out.clear();
    DirHandle dir(opendir(toSystemPath(directory).c_str()));
    if (!dir) return 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (isDotEntry(entry->d_name) || entryIsDirectory(dir.get(), entry)) continue;
        if (matches(pattern, entry->d_name)) out.push_back(directory + "/" + entry->d_name);
    }
    return out.size();
}

bool getFileSize32(const std::string& path, uint32_t* size) {
    if (size == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    CFile file(std::fopen(toSystemPath(path).c_str(), "rb"));
    if (!file) {
        resetCrtError(errno);
        return false;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        resetCrtError(errno);
        return false;
    }
    const long end = std::ftell(file.get());
    if (end < 0 || static_cast<unsigned long>(end) > UINT32_MAX) {
        // Refused rather than cut to 32 bits.
        resetCrtError(end < 0 ? errno : EOVERFLOW);
        return false;
    }
    clearErrors();
    *size = static_cast<uint32_t>(end);
    return true;
}

}  // namespace tavo
