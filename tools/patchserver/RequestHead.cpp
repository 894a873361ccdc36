#include "RequestHead.h"

#include <algorithm>
#include <cctype>

namespace zanth::tools {

namespace {

constexpr int kBadRequest = 400;
constexpr int kTooLarge = 413;
constexpr int kHeadTooLarge = 431;
constexpr std::size_t kMaxDigits = 19;

bool isTokenChar(unsigned char c)
{
    static constexpr std::string_view kExtra = "!#$%&'*+-.^_`|~";
    return std::isalnum(c) || kExtra.find(static_cast<char>(c)) != std::string_view::npos;
}

bool isToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return isTokenChar(static_cast<unsigned char>(c)); });
}

bool isTargetChar(unsigned char c) { return c > 0x20 && c < 0x7f; }

bool isFieldValueChar(unsigned char c) { return c == '\t' || (c >= 0x20 && c != 0x7f); }

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool parseRequestLine(std::string_view line, RequestHead& head)
{
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
        return false;
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (!isToken(method) || target.empty() || target.front() != '/' ||
        !std::all_of(target.begin(), target.end(), [](char c) { return isTargetChar(static_cast<unsigned char>(c)); }))
        return false;
    if (version.size() != 8 || !version.starts_with("HTTP/1.") || !std::isdigit(static_cast<unsigned char>(version[7])))
        return false;
    head.method.assign(method);
    head.target.assign(target);
    head.minorVersion = version[7] - '0';
    const std::size_t question = target.find('?');
    head.path.assign(target.substr(0, question));
    head.query = question == std::string_view::npos ? std::string() : std::string(target.substr(question + 1));
    return true;
}

bool parseField(std::string_view line, RequestHead& head)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
        return false;
    const std::string_view value = trim(line.substr(colon + 1));
    if (!std::all_of(value.begin(), value.end(), [](char c) { return isFieldValueChar(static_cast<unsigned char>(c)); }))
        return false;
    head.fields.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    return true;
}

// Content-Length must be plain digits, one value; Transfer-Encoding is not
// spoken here (bodies are small and always sized).
int checkBodyFields(RequestHead& head)
{
    int lengths = 0;
    for (const auto& [name, value] : head.fields) {
        if (equalNoCase(name, "Transfer-Encoding"))
            return kBadRequest;
        if (!equalNoCase(name, "Content-Length"))
            continue;
        if (++lengths > 1 || value.empty() || value.size() > kMaxDigits ||
            value.find_first_not_of("0123456789") != std::string::npos)
            return kBadRequest;
        head.contentLength = std::stoull(value);
    }
    return head.contentLength > kMaxRequestBody ? kTooLarge : 0;
}

HeadResult refuse(int status) { return HeadResult{HeadStatus::refused, 0, status}; }

}  // namespace

const std::string* RequestHead::field(std::string_view name) const
{
    for (const auto& [fieldName, value] : fields)
        if (equalNoCase(fieldName, name))
            return &value;
    return nullptr;
}

std::string RequestHead::queryValue(std::string_view name) const
{
    std::string_view rest = query;
    while (!rest.empty()) {
        const std::size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (pair.substr(0, eq) == name)
            return eq == std::string_view::npos ? std::string() : std::string(pair.substr(eq + 1));
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    }
    return {};
}

HeadResult parseRequestHead(std::string_view data, RequestHead& head)
{
    head = RequestHead{};
    const std::size_t end = data.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return data.size() >= kMaxRequestHead ? refuse(kHeadTooLarge) : HeadResult{};
    if (end + 4 > kMaxRequestHead)
        return refuse(kHeadTooLarge);
    std::string_view rest = data.substr(0, end + 2);
    bool first = true;
    while (!rest.empty()) {
        const std::size_t eol = rest.find("\r\n");
        const std::string_view line = rest.substr(0, eol);
        rest.remove_prefix(eol + 2);
        if (line.find_first_of("\r\n") != std::string_view::npos)
            return refuse(kBadRequest);
        if (first) {
            if (!parseRequestLine(line, head))
                return refuse(kBadRequest);
            first = false;
            continue;
        }
        if (head.fields.size() >= kMaxHeaderFields)
            return refuse(kHeadTooLarge);
        if (!parseField(line, head))
            return refuse(kBadRequest);
    }
    if (head.minorVersion > 1)
        return refuse(kBadRequest);
    if (const int status = checkBodyFields(head))
        return refuse(status);
    return HeadResult{HeadStatus::complete, end + 4, 0};
}

}  // namespace zanth::tools
