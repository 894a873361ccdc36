// The head of one HTTP/1.x request (request line and header fields) as the
// patch service reads it from a connection. Strict: anything it does not
// understand is refused with the 4xx status to answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zanth::tools {

constexpr std::size_t kMaxRequestHead = 16 * 1024;
constexpr std::size_t kMaxHeaderFields = 64;
constexpr uint64_t kMaxRequestBody = 64 * 1024;

struct RequestHead {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;    // target before "?"
    std::string query;   // target after "?", without it
    int minorVersion = 1;
    std::vector<std::pair<std::string, std::string>> fields;
    uint64_t contentLength = 0;

    // First value of a field, name compared without case; null when absent.
    const std::string* field(std::string_view name) const;
    // A query parameter's raw value; empty when absent.
    std::string queryValue(std::string_view name) const;
};

enum class HeadStatus { incomplete, complete, refused };

struct HeadResult {
    HeadStatus status = HeadStatus::incomplete;
    std::size_t length = 0;  // bytes of the head including the blank line (complete)
    int refusal = 0;         // 4xx status to answer (refused)
};

// Parses the head at the start of `data`. Incomplete while no blank line has
// arrived and the head is still below kMaxRequestHead.
HeadResult parseRequestHead(std::string_view data, RequestHead& head);

}  // namespace zanth::tools
