#include "PathText.h"

#include <cstddef>
#include <cstdint>

namespace tavo {

namespace {

constexpr unsigned char kTagByte = 0x02;
constexpr std::size_t kTagHeaderSize = 3;
constexpr char16_t kInvalidMark = u'*';
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kReplacement = 0xFFFD;

struct LeadForm {
    unsigned char first;
    unsigned char last;
    std::size_t length;
    unsigned char payloadMask;
};

// Lead byte ranges of the 1- to 6-byte forms; anything else starts no form.
constexpr LeadForm kLeadForms[] = {
    {0x00, 0x7F, 1, 0x7F}, {0xC0, 0xDF, 2, 0x1F}, {0xE0, 0xEF, 3, 0x0F},
    {0xF0, 0xF7, 4, 0x07}, {0xF8, 0xFB, 5, 0x03}, {0xFC, 0xFD, 6, 0x01},
};

const LeadForm* formOf(unsigned char lead) {
    for (const LeadForm& form : kLeadForms) {
        if (lead >= form.first && lead <= form.last) return &form;
    }
    return nullptr;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp == 0) {
        // Undecodable bytes (and embedded zeros, which would cut a system path) become '*'.
        out.push_back(kInvalidMark);
    } else if (cp >= kSurrogateFirst && cp <= kSurrogateLast) {
        return;
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else if (cp <= kMaxCodePoint) {
        const char32_t v = cp - 0x10000;
        out.push_back(static_cast<char16_t>(kSurrogateFirst + (v >> 10)));
        out.push_back(static_cast<char16_t>(kLowSurrogateFirst + (v & 0x3FF)));
    }
}

void appendUtf8(std::string& out, char32_t cp) {
    auto put = [&out](unsigned v) { out.push_back(static_cast<char>(v)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool isValidUtf8(const char* text) {
    if (text == nullptr) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const LeadForm* form = formOf(*p);
        if (form == nullptr) return false;
        ++p;
        for (std::size_t i = 1; i < form->length; ++i, ++p) {
            // Also rejects the terminating zero inside a sequence.
            if ((*p & 0x80) == 0) return false;
        }
    }
    return true;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = bytes[i];
        if (lead == kTagByte) {
            const std::size_t skip = i + 2 < n ? kTagHeaderSize + bytes[i + 2] : n - i;
            i += skip < n - i ? skip : n - i;
            continue;
        }
        const LeadForm* form = formOf(lead);
        if (form == nullptr) {
            appendUtf16(out, 0);
            ++i;
            continue;
        }
        if (form->length > n - i) {
            // A sequence cut off by the end of the text decodes to nothing valid.
            appendUtf16(out, 0);
            break;
        }
        char32_t cp = lead & form->payloadMask;
        for (std::size_t k = 1; k < form->length; ++k) cp = (cp << 6) | (bytes[i + k] & 0x3F);
        appendUtf16(out, cp);
        i += form->length;
    }
    return out;
}

std::string fromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = utf16[i];
        char32_t cp = unit;
        if (unit >= kSurrogateFirst && unit < kLowSurrogateFirst && i + 1 < utf16.size() &&
            utf16[i + 1] >= kLowSurrogateFirst && utf16[i + 1] <= kSurrogateLast) {
            cp = 0x10000 + ((unit - kSurrogateFirst) << 10) + (utf16[i + 1] - kLowSurrogateFirst);
            ++i;
        } else if (unit >= kSurrogateFirst && unit <= kSurrogateLast) {
            cp = kReplacement;  // an unpaired surrogate has no UTF-8 form
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string toSystemPath(std::string_view path) {
    std::string out = fromUtf16(toUtf16(path));
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

}  // namespace tavo
