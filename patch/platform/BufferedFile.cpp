#include "BufferedFile.h"

#include <cstring>
#include <new>

#include <zlib.h>

#include "ErrorStack.h"

namespace tavo {

namespace {
constexpr uint64_t kNoWindow = UINT64_MAX;
}

BufferedFile::BufferedFile() {
    for (uint32_t capacity = kCacheCapacity; capacity >= kMinCacheCapacity; capacity /= 2) {
        if (allocateCache(capacity)) return;
    }
}

BufferedFile::BufferedFile(uint32_t cacheCapacity) {
    if (cacheCapacity > 0) allocateCache(cacheCapacity);
}

BufferedFile::~BufferedFile() = default;

bool BufferedFile::allocateCache(uint32_t capacity) {
    dropWindow();
    cache_.reset();
    capacity_ = 0;
    // Left uninitialised: a 30 MiB cache must not be touched before it is used.
    cache_.reset(new (std::nothrow) uint8_t[capacity]);
    if (!cache_) return false;
    capacity_ = capacity;
    return true;
}

void BufferedFile::dropWindow() {
    windowOffset_ = kNoWindow;
    windowLength_ = 0;
}

bool BufferedFile::open(const char* path, const char* mode, int retries) {
    dropWindow();
    return File::open(path, mode, retries);
}

void BufferedFile::account(const void* data, uint32_t n) {
    bytesRead_ += n;
    crc_ = static_cast<uint32_t>(crc32(crc_, static_cast<const Bytef*>(data), n));
}

bool BufferedFile::read(void* buffer, uint32_t count, uint32_t* bytesRead) {
    if (!File::read(buffer, count, bytesRead)) return false;
    account(buffer, *bytesRead);
    return true;
}

bool BufferedFile::write(const void* buffer, uint32_t count, uint32_t* bytesWritten) {
    if (!File::write(buffer, count, bytesWritten)) return false;
    dropWindow();  // the cached range may hold the bytes just replaced
    if (*bytesWritten > 0) {
        crc_ = static_cast<uint32_t>(crc32(crc_, static_cast<const Bytef*>(buffer), *bytesWritten));
    }
    return true;
}

bool BufferedFile::readAtUncached(void* buffer, uint32_t count, uint32_t* bytesRead, uint64_t offset) {
    return File::readAt(buffer, count, bytesRead, offset);
}

// Fills the cache from `offset`, never beyond the end of data. A single system
// read may stop short of a large request, so this reads until the amount is in
// or the file ends.
bool BufferedFile::fillCache(uint64_t offset) {
    dropWindow();
    const uint64_t available = endOfData_ - offset;
    const uint32_t amount = available < capacity_ ? static_cast<uint32_t>(available) : capacity_;
    uint32_t filled = 0;
    while (filled < amount) {
        uint32_t got = 0;
        if (!File::readAt(cache_.get() + filled, amount - filled, &got, offset + filled)) return false;
        if (got == 0) break;
        filled += got;
    }
    windowOffset_ = offset;
    windowLength_ = filled;
    return true;
}

bool BufferedFile::readAt(void* buffer, uint32_t count, uint32_t* bytesRead, uint64_t offset) {
    if (buffer == nullptr || bytesRead == nullptr) {
        resetError(kErrMissingArgument);
        return false;
    }
    if (!cache_) {
        if (!File::readAt(buffer, count, bytesRead, offset)) return false;
        account(buffer, *bytesRead);
        return true;
    }
    // Written without offset + count, which could wrap for offsets near 2^64.
    const bool hit = windowOffset_ != kNoWindow && offset >= windowOffset_ &&
                     offset - windowOffset_ < windowLength_ &&
                     count <= windowLength_ - (offset - windowOffset_);
    if (!hit) {
        if (offset >= endOfData_) {
            *bytesRead = 0;
            return true;
        }
        if (count > capacity_ && !allocateCache(count)) {
            pushError(kErrCacheAllocation);
            return false;
        }
        if (!fillCache(offset)) return false;
    }
    // Only bytes that exist are delivered when the range reaches past the data.
    const uint64_t start = offset - windowOffset_;
    const uint64_t held = windowLength_ - start;
    const uint32_t delivered = count <= held ? count : static_cast<uint32_t>(held);
    std::memcpy(buffer, cache_.get() + start, delivered);
    *bytesRead = delivered;
    account(buffer, delivered);
    return true;
}

}  // namespace tavo
