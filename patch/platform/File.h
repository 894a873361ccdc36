// A handle-based file of raw bytes with 64-bit positions. Paths are UTF-8 and
// may use '/' or '\' as separators.
#pragma once

#include <cstdint>

namespace tavo {

constexpr int kErrFileNotOpen = 10709;
constexpr int kErrMissingArgument = 10710;

class File {
public:
    File() = default;
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // origin: 0 begin, 1 current, 2 end. False (nothing pushed) on a missing
    // out argument, a bad origin or a failed move.
    virtual bool seek(int64_t offset, int origin, uint64_t* newPosition);
    // One system read of up to `count` bytes (no loop for short transfers).
    virtual bool read(void* buffer, uint32_t count, uint32_t* bytesRead);
    virtual bool copyFromCount(File& source, uint64_t count, uint64_t* copied);
    virtual bool copyFromAll(File& source, uint64_t* copied);
    virtual bool write(const void* buffer, uint32_t count, uint32_t* bytesWritten);
    // Positional read; the file position is left where it was.
    virtual bool readAt(void* buffer, uint32_t count, uint32_t* bytesRead, uint64_t offset);

    // Modes "rb", "wb", "r+b", "w+b" (only the character right after 'r' or
    // 'w' is examined). Writing modes create a missing parent directory; when
    // the file exists, is not read-only and still cannot be opened, the open
    // is retried `retries` times 100 ms apart.
    bool open(const char* path, const char* mode, int retries);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // False (nothing pushed) on a missing out argument or a failed query.
    bool size(uint64_t* out);
    bool writeAt(const void* buffer, uint32_t count, uint32_t* bytesWritten, uint64_t offset);
    // Flushes written data to the device.
    bool flush();

protected:
    int fd_ = -1;
};

}  // namespace tavo
