// The header fields of a response: exact (case-sensitive) names, the first
// occurrence of a name wins.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace tavo {

class HttpHeaders {
public:
    // Parses a header block that ends with CR LF CR LF (an empty block is the
    // marker alone). Previous contents are discarded. False when the marker is
    // missing or a line before it has no ':'.
    bool parse(const char* text, std::size_t length);
    void clear();

    bool find(const std::string& name, std::string& value) const;
    const std::map<std::string, std::string>& fields() const { return fields_; }
    // Length of the block up to and including the terminating empty line.
    std::size_t blockLength() const { return blockLength_; }

private:
    std::map<std::string, std::string> fields_;
    std::size_t blockLength_ = 0;
};

// Names for HttpRequest::getHeaderById: index 0 "Accept" ... 46 "Warning".
constexpr int kHeaderIdCount = 47;
constexpr int kHeaderIdContentLength = 22;
constexpr int kHeaderIdContentType = 26;
// Null for an index outside 0..46.
const char* headerNameById(int index);

}  // namespace tavo
