// UTF-8 texts and paths: the validity check the exported interface applies to
// its text arguments, and the conversion applied at every system call.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

// Lead bytes 0x00-0x7F, 0xC0-0xDF, 0xE0-0xEF, 0xF0-0xF7, 0xF8-0xFB, 0xFC-0xFD
// with following bytes that have their high bit set. Null is malformed.
bool isValidUtf8(const char* text);

// The UTF-16 form of a library path: a 0x02 byte starts a tag of
// 3 + text[i+2] bytes that is skipped; an invalid lead byte becomes '*';
// surrogate code points and values above U+10FFFF are dropped.
std::u16string toUtf16(std::string_view utf8);
std::string fromUtf16(std::u16string_view utf16);

// The path handed to the operating system: the UTF-16 conversion above, back
// in UTF-8, with every '\' turned into '/'.
std::string toSystemPath(std::string_view path);

}  // namespace tavo
