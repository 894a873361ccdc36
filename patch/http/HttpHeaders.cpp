#include "HttpHeaders.h"

#include <string_view>

namespace tavo {

namespace {
constexpr std::string_view kEndOfHeaders = "\r\n\r\n";
}  // namespace

void HttpHeaders::clear() {
    fields_.clear();
    blockLength_ = 0;
}

bool HttpHeaders::parse(const char* text, std::size_t length) {
    clear();
    const std::string_view block(text, length);
    // The block may start with the empty line itself.
    std::size_t end;
    if (block.substr(0, 2) == "\r\n") {
        end = 0;
    } else {
        end = block.find(kEndOfHeaders);
        if (end == std::string_view::npos) return false;
        end += 2;  // the last header line keeps its CR LF
    }
    std::size_t pos = 0;
    while (pos < end) {
        std::size_t colon = block.find(':', pos);
        std::size_t lineEnd = block.find("\r\n", pos);
        if (colon == std::string_view::npos || colon > lineEnd) {
            clear();
            return false;
        }
        std::size_t valueStart = colon + 1;
        while (valueStart < lineEnd && (block[valueStart] == ' ' || block[valueStart] == '\t'))
            ++valueStart;
        std::size_t cr = block.find('\r', valueStart);
        fields_.emplace(std::string(block.substr(pos, colon - pos)),
                        std::string(block.substr(valueStart, cr - valueStart)));
        pos = cr + 2;
    }
    blockLength_ = end + 2;
    return true;
}

bool HttpHeaders::find(const std::string& name, std::string& value) const {
    auto it = fields_.find(name);
    if (it == fields_.end()) return false;
    value = it->second;
    return true;
}

}  // namespace tavo
