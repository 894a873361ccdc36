#include "HttpResponseStatus.h"

#include <cstring>

#include "DecimalText.h"

namespace tavo {

namespace {
// Finds `separator` in [from, end); npos when absent.
std::size_t findIn(const char* text, std::size_t from, std::size_t end, char separator) {
    for (std::size_t i = from; i < end; ++i)
        if (text[i] == separator) return i;
    return std::string::npos;
}
}  // namespace

void HttpResponseStatus::reset() { *this = HttpResponseStatus(); }

bool HttpResponseStatus::parse(const char* text, std::size_t length) {
    reset();
    std::size_t lineEnd = findIn(text, 0, length, '\n');
    std::size_t contentEnd = length;
    if (lineEnd != std::string::npos) {
        if (lineEnd == 0 || text[lineEnd - 1] != '\r') return false;
        contentEnd = lineEnd - 1;
        lineLength_ = lineEnd + 1;
    } else {
        lineLength_ = length;
    }

    std::size_t slash = findIn(text, 0, contentEnd, '/');
    if (slash == std::string::npos) return false;
    std::size_t dot = findIn(text, slash + 1, contentEnd, '.');
    if (dot == std::string::npos) return false;
    std::size_t space = findIn(text, dot + 1, contentEnd, ' ');
    if (space == std::string::npos) return false;
    std::size_t codeEnd = findIn(text, space + 1, contentEnd, ' ');
    if (codeEnd == std::string::npos) return false;
    // The reason phrase runs up to the CR; without a line end, to the end.
    std::size_t cr = findIn(text, codeEnd + 1, contentEnd, '\r');
    std::size_t reasonEnd = cr == std::string::npos ? contentEnd : cr;

    protocol_.assign(text, slash);
    major_ = leadingDecimalInt(text + slash + 1, dot - slash - 1);
    minor_ = leadingDecimalInt(text + dot + 1, space - dot - 1);
    statusCode_ = leadingDecimalInt(text + space + 1, codeEnd - space - 1);
    reason_.assign(text + codeEnd + 1, reasonEnd - codeEnd - 1);
    return true;
}

}  // namespace tavo
