#include "MultipartPatchList.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "PatchListLine.h"

namespace tavo {

namespace {

constexpr std::size_t kDelimiterLineEnd = 2;
constexpr std::string_view kPartHeadersEnd = "\r\n\r\n";

// The text between the end of the first delimiter line and the next
// delimiter; false when either is missing.
bool firstPart(std::string_view body, const std::string& delimiter, std::string_view& part) {
    std::size_t position = 0;
    std::size_t found = body.find(delimiter, position);
    if (found == std::string_view::npos) return false;
    while (found == position) {
        position = std::min(found + delimiter.size() + kDelimiterLineEnd, body.size());
        found = body.find(delimiter, position);
    }
    if (found == std::string_view::npos) return false;
    part = body.substr(position, found - position);
    return true;
}

void appendLines(std::string_view content, std::vector<PatchListEntry>& out) {
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = content.substr(start, end - start);
        start = end + 1;
        std::size_t cr = line.rfind('\r');
        if (cr != std::string_view::npos) line = line.substr(0, cr);
        // A line that is only a CR is as empty as an empty one.
        if (line.empty()) continue;
        out.push_back(parsePatchListLine(line));
    }
}

}  // namespace

bool parseMultipartPatchList(std::string_view body, std::string_view boundary,
                             std::vector<PatchListEntry>& out) {
    const std::string delimiter = "--" + std::string(boundary);
    std::string_view part;
    if (!firstPart(body, delimiter, part)) return false;
    // Without the blank line there is no telling headers from patch lines.
    const std::size_t headersEnd = part.find(kPartHeadersEnd);
    if (headersEnd == std::string_view::npos) return false;
    std::vector<PatchListEntry> entries;
    appendLines(part.substr(headersEnd + kPartHeadersEnd.size()), entries);
    out.insert(out.end(), std::make_move_iterator(entries.begin()),
               std::make_move_iterator(entries.end()));
    return true;
}

}  // namespace tavo
