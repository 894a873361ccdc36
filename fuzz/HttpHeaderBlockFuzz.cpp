// Header blocks of any bytes, parsed the way a response is: the status line
// first, then the block after its CR LF. Nothing is read outside the text, a
// parsed block ends with its empty line, and every field lies inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/HttpHeaders.h"
#include "http/HttpResponseStatus.h"

namespace {

void checkBlock(const char* text, size_t size) {
    tavo::HttpHeaders headers;
    if (!headers.parse(text, size)) {
        if (!headers.fields().empty() || headers.blockLength() != 0) std::abort();
        return;
    }
    const std::size_t length = headers.blockLength();
    if (length < 2 || length > size) std::abort();
    if (std::string_view(text + length - 2, 2) != "\r\n") std::abort();
    std::size_t fieldBytes = 0;
    for (const auto& [name, value] : headers.fields()) fieldBytes += name.size() + value.size() + 1;
    if (fieldBytes > length) std::abort();
    std::string value;
    for (int i = 0; i <= tavo::kHeaderIdCount; ++i) {
        const char* name = tavo::headerNameById(i);
        if ((name == nullptr) != (i == tavo::kHeaderIdCount)) std::abort();
        if (name) headers.find(name, value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    checkBlock(text, size);
    tavo::HttpResponseStatus status;
    if (status.parse(text, size)) {
        const std::size_t start = std::string_view(text, size).find("\r\n");
        if (start != std::string_view::npos) checkBlock(text + start + 2, size - start - 2);
    }
    return 0;
}
