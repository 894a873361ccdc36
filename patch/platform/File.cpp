#include "File.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ErrorStack.h"
#include "FileSystem.h"
#include "OsError.h"
#include "PathText.h"

namespace tavo {

namespace {

constexpr uint32_t kStreamChunk = 4096;
constexpr auto kOpenRetryDelay = std::chrono::milliseconds(100);
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
constexpr int kSeekOrigins[] = {SEEK_SET, SEEK_CUR, SEEK_END};

struct OpenMode {
    int flags = -1;  // -1: the mode names no access, the open fails
    bool writing = false;
};

// Only the first 'r' (else the first 'w') and the character right after it count.
OpenMode parseMode(const char* mode) {
    OpenMode result;
    if (const char* r = std::strchr(mode, 'r')) {
        result.flags = r[1] == '+' ? O_RDWR : O_RDONLY;
    } else if (const char* w = std::strchr(mode, 'w')) {
        result.flags = (w[1] == '+' ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        result.writing = true;
    }
    return result;
}

// One open attempt; errno describes a failure. A directory is refused like a
// file that cannot be opened, since nothing here can read or write one.
int openOnce(const std::string& systemPath, int flags) {
    int fd;
    do {
        fd = ::open(systemPath.c_str(), flags | O_CLOEXEC, kNewFileMode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

bool hasSeparator(const char* path) {
    for (const char* p = path; *p != 0; ++p) {
        if (isSeparator(*p)) return true;
    }
    return false;
}

}  // namespace

File::~File() { close(); }

void File::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool File::open(const char* path, const char* mode, int retries) {
    if (mode == nullptr) return false;
    close();
    if (path == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    const OpenMode parsed = parseMode(mode);
    if (parsed.flags < 0) {
        resetOsError(EINVAL, path, OsObject::File);
        return false;
    }
    const std::string systemPath = toSystemPath(path);
    int fd = openOnce(systemPath, parsed.flags);
    int lastErrno = errno;
    // Without a separator the "directory" would be the file name itself.
    if (fd < 0 && parsed.writing && hasSeparator(path)) {
        const std::string parent = directoryOf(path);
        if (!directoryExists(parent) && createDirectories(parent)) {
            fd = openOnce(systemPath, parsed.flags);
            lastErrno = errno;
        }
    }
    if (fd < 0 && retries > 0 && fileExists(path) && !isReadOnlyFile(path)) {
        for (int attempt = 0; attempt < retries && fd < 0; ++attempt) {
            std::this_thread::sleep_for(kOpenRetryDelay);
            fd = openOnce(systemPath, parsed.flags);
            lastErrno = errno;
        }
    }
    if (fd < 0) {
        resetOsError(lastErrno, path, OsObject::File);
        return false;
    }
    fd_ = fd;
    return true;
}

bool File::seek(int64_t offset, int origin, uint64_t* newPosition) {
    if (newPosition == nullptr || origin < 0 || origin > 2) return false;
    const off_t moved = lseek(fd_, static_cast<off_t>(offset), kSeekOrigins[origin]);
    if (moved < 0) return false;
    *newPosition = static_cast<uint64_t>(moved);
    return true;
}

bool File::read(void* buffer, uint32_t count, uint32_t* bytesRead) {
    if (buffer == nullptr || bytesRead == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    ssize_t n;
    do {
        n = ::read(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        resetOsError(errno);
        return false;
    }
    *bytesRead = static_cast<uint32_t>(n);
    return true;
}

bool File::write(const void* buffer, uint32_t count, uint32_t* bytesWritten) {
    if (buffer == nullptr || bytesWritten == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    ssize_t n;
    do {
        n = ::write(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        resetOsError(errno);
        return false;
    }
    *bytesWritten = static_cast<uint32_t>(n);
    return true;
}

// pread/pwrite never move the file position, so there is nothing to restore.
bool File::readAt(void* buffer, uint32_t count, uint32_t* bytesRead, uint64_t offset) {
    if (buffer == nullptr || bytesRead == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    ssize_t n;
    do {
        n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        resetOsError(errno);
        return false;
    }
    *bytesRead = static_cast<uint32_t>(n);
    return true;
}

bool File::writeAt(const void* buffer, uint32_t count, uint32_t* bytesWritten, uint64_t offset) {
    if (buffer == nullptr || bytesWritten == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    ssize_t n;
    do {
        n = ::pwrite(fd_, buffer, count, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        resetOsError(errno);
        return false;
    }
    *bytesWritten = static_cast<uint32_t>(n);
    return true;
}

bool File::copyFromCount(File& source, uint64_t count, uint64_t* copied) {
    if (copied == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    uint8_t chunk[kStreamChunk];
    uint64_t total = 0;
    *copied = 0;
    while (total < count) {
        const uint64_t remaining = count - total;
        const uint32_t want = remaining < kStreamChunk ? static_cast<uint32_t>(remaining) : kStreamChunk;
        uint32_t got = 0;
        if (!source.read(chunk, want, &got)) return false;
        if (got == 0) break;
        for (uint32_t done = 0; done < got;) {
            uint32_t written = 0;
            if (!write(chunk + done, got - done, &written) || written == 0) return false;
            done += written;
            total += written;
            *copied = total;
        }
    }
    return true;
}

bool File::copyFromAll(File& source, uint64_t* copied) {
    return copyFromCount(source, UINT64_MAX, copied);
}

bool File::size(uint64_t* out) {
    if (out == nullptr) return false;
    struct stat st;
    if (fstat(fd_, &st) != 0) return false;
    *out = static_cast<uint64_t>(st.st_size);
    return true;
}

// fdatasync: the written bytes (and the size) reach the device; metadata such
// as times is left to the system. Descriptors that cannot be synced count as flushed.
bool File::flush() {
    if (fd_ < 0) {
        resetError(kErrFileNotOpen);
        return false;
    }
    int rc;
    do {
        rc = fdatasync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno != EINVAL && errno != EROFS) {
        resetOsError(errno);
        return false;
    }
    return true;
}

}  // namespace tavo
