#include "ByteRange.h"

#include <charconv>

namespace zanth::tools {

namespace {

bool readNumber(std::string_view text, uint64_t& value)
{
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

ByteRange parseByteRange(std::string_view field, uint64_t fileSize)
{
    constexpr std::string_view kUnit = "bytes=";
    if (!field.starts_with(kUnit))
        return {};
    field.remove_prefix(kUnit.size());
    const std::size_t dash = field.find('-');
    if (dash == std::string_view::npos)
        return {};
    const std::string_view firstText = field.substr(0, dash), lastText = field.substr(dash + 1);
    uint64_t first = 0, last = 0;
    if (firstText.empty()) {
        uint64_t suffix = 0;
        if (!readNumber(lastText, suffix))
            return {};
        if (suffix == 0 || fileSize == 0)
            return {RangeKind::unsatisfiable, 0, 0};
        const uint64_t length = suffix < fileSize ? suffix : fileSize;
        return {RangeKind::part, fileSize - length, length};
    }
    if (!readNumber(firstText, first))
        return {};
    if (lastText.empty())
        last = fileSize == 0 ? 0 : fileSize - 1;
    else if (!readNumber(lastText, last) || last < first)
        return {};
    if (first >= fileSize)
        return {RangeKind::unsatisfiable, 0, 0};
    if (last >= fileSize)
        last = fileSize - 1;
    return {RangeKind::part, first, last - first + 1};
}

}  // namespace zanth::tools
