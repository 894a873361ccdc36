// A growable first-in first-out byte buffer (ring storage, doubles when full).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace tavo {

class ByteFifo {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    void append(const char* data, std::size_t length) {
        if (length == 0) return;
        reserveFor(size_ + length);
        std::size_t tail = (head_ + size_) % storage_.size();
        std::size_t first = std::min(length, storage_.size() - tail);
        std::memcpy(storage_.data() + tail, data, first);
        std::memcpy(storage_.data(), data + first, length - first);
        size_ += length;
    }

    // Moves up to `length` bytes out; returns how many.
    std::size_t take(char* out, std::size_t length) {
        std::size_t n = std::min(length, size_);
        if (n == 0) return 0;  // storage may not exist yet
        std::size_t first = std::min(n, storage_.size() - head_);
        std::memcpy(out, storage_.data() + head_, first);
        std::memcpy(out + first, storage_.data(), n - first);
        head_ = size_ == n ? 0 : (head_ + n) % storage_.size();
        size_ -= n;
        return n;
    }

private:
    void reserveFor(std::size_t needed) {
        if (needed <= storage_.size()) return;
        std::size_t capacity = std::max<std::size_t>(storage_.size() * 2, 64 * 1024);
        while (capacity < needed) capacity *= 2;
        std::vector<char> grown(capacity);
        std::size_t n = size_;
        take(grown.data(), n);
        storage_.swap(grown);
        head_ = 0;
        size_ = n;
    }

    std::vector<char> storage_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

}  // namespace tavo
