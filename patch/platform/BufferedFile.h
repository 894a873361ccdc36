// A File with a large read cache for positional reads, a count of delivered
// bytes and a running CRC-32 (zlib's) of every byte read or written.
#pragma once

#include <cstdint>
#include <memory>

#include "File.h"

namespace tavo {

constexpr int kErrCacheAllocation = 20885;

class BufferedFile : public File {
public:
    static constexpr uint32_t kCacheCapacity = 31457280;
    static constexpr uint32_t kMinCacheCapacity = 500000;

    // Tries 30 MiB, halving while at least 500000 bytes; works uncached when
    // every allocation fails.
    BufferedFile();
    // A cache of exactly `cacheCapacity` bytes; 0 or a failed allocation: uncached.
    explicit BufferedFile(uint32_t cacheCapacity);
    ~BufferedFile() override;

    // As File::open; the cache window is emptied so nothing of a previous file is served.
    bool open(const char* path, const char* mode, int retries);

    bool read(void* buffer, uint32_t count, uint32_t* bytesRead) override;
    bool write(const void* buffer, uint32_t count, uint32_t* bytesWritten) override;
    bool readAt(void* buffer, uint32_t count, uint32_t* bytesRead, uint64_t offset) override;
    bool readAtUncached(void* buffer, uint32_t count, uint32_t* bytesRead, uint64_t offset);

    void setEndOfData(uint64_t end) { endOfData_ = end; }
    uint64_t endOfData() const { return endOfData_; }
    void setBytesRead(uint64_t n) { bytesRead_ = n; }
    uint64_t bytesRead() const { return bytesRead_; }
    void resetCrc() { crc_ = 0; }
    uint32_t crc() const { return crc_; }
    uint32_t cacheCapacity() const { return capacity_; }

private:
    void account(const void* data, uint32_t n);
    void dropWindow();
    bool allocateCache(uint32_t capacity);
    bool fillCache(uint64_t offset);

    std::unique_ptr<uint8_t[]> cache_;
    uint32_t capacity_ = 0;
    uint64_t windowOffset_ = UINT64_MAX;
    uint64_t windowLength_ = 0;
    uint64_t endOfData_ = 0;
    uint64_t bytesRead_ = 0;
    uint32_t crc_ = 0;
};

}  // namespace tavo
