// The one byte range of a "Range" request field that a resuming client sends:
// "bytes=FIRST-", "bytes=FIRST-LAST" or "bytes=-SUFFIX".
#pragma once

#include <cstdint>
#include <string_view>

namespace zanth::tools {

enum class RangeKind { whole, part, unsatisfiable };

struct ByteRange {
    RangeKind kind = RangeKind::whole;
    uint64_t first = 0;
    uint64_t length = 0;  // bytes to send (part)
};

// A field that is not a single well-formed byte range is ignored: the whole
// file is sent. A range starting at or past the end is unsatisfiable.
ByteRange parseByteRange(std::string_view field, uint64_t fileSize);

}  // namespace zanth::tools
