// Response status lines of any bytes: the parser never reads outside the
// text and what it records stays inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "http/HttpResponseStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    tavo::HttpResponseStatus status;
    if (!status.parse(text, size)) {
        if (status.statusCode() != -1) std::abort();
        return 0;
    }
    if (status.lineLength() > size) std::abort();
    if (status.protocol().size() + status.reasonPhrase().size() >= status.lineLength() + 1) std::abort();
    return 0;
}
