#include "platform/PathText.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavo;

namespace {

struct ValidityCase {
    const char* text;
    bool valid;
};

TEST(PathTextTest, Utf8ValidityFollowsLeadByteForms) {
    const ValidityCase cases[] = {
        {"", true},
        {"plain ascii/path.txt", true},
        {"\xC3\xA9", true},                  // 2-byte form
        {"\xE2\x82\xAC", true},              // 3-byte form
        {"\xF0\x9F\x98\x80", true},          // 4-byte form
        {"\xF8\x88\x80\x80\x80", true},      // 5-byte form
        {"\xFC\x84\x80\x80\x80\x80", true},  // 6-byte form
        {"\xC0\x80", true},                  // overlong forms are not rejected
        {"\xED\xA0\x80", true},              // nor are surrogates
        {"\xC3\xFF", true},                  // following bytes only need the high bit
        {"\x80", false},
        {"a\xBF", false},
        {"\xFE", false},
        {"\xFF", false},
        {"ok\xC3", false},          // zero ends the text inside a sequence
        {"\xE2\x82", false},
        {"\xF0\x9F\x98", false},
        {"\xC3" "A", false},        // following byte without the high bit
        {"\xE2\x82" "A", false},
    };
    for (const ValidityCase& c : cases) {
        EXPECT_EQ(isValidUtf8(c.text), c.valid) << "text: " << ::testing::PrintToString(std::string(c.text));
    }
    EXPECT_FALSE(isValidUtf8(nullptr));
}

struct Utf16Case {
    std::string utf8;
    std::u16string utf16;
};

TEST(PathTextTest, ConversionToUtf16AppliesPathRules) {
    const Utf16Case cases[] = {
        {"a/b\\c", u"a/b\\c"},
        {"\xC3\xA9", u"\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}},
        {"\xF4\x8F\xBF\xBF", std::u16string{0xDBFF, 0xDFFF}},  // U+10FFFF, the last code point
        {"\xFF", u"*"},
        {"a\x80" "b\xFE" "c", u"a*b*c"},
        {"x\xED\xA0\x80y", u"xy"},              // surrogate code point dropped
        {"x\xF4\x90\x80\x80y", u"xy"},          // U+110000 dropped
        {"x\xF8\x88\x80\x80\x80y", u"xy"},      // 5-byte form above the range dropped
        {"a\x02" "k\x02" "zzb", u"ab"},         // tag of 3 + 2 bytes skipped
        {std::string("\x02\x00\x00" "c", 4), u"c"},   // tag with no extra bytes
        {"a\x02" "k\x50", u"a"},                // tag longer than the text ends it
        {"a\x02", u"a"},
        {"ab\xE2\x82", u"ab*"},                 // sequence cut off by the end of the text
        {std::string("a\0b", 3), u"a*b"},       // an embedded zero never reaches the system
    };
    for (const Utf16Case& c : cases) {
        EXPECT_EQ(toUtf16(c.utf8), c.utf16) << "utf8: " << ::testing::PrintToString(c.utf8);
    }
}

TEST(PathTextTest, ConversionFromUtf16JoinsPairsAndReplacesLoneSurrogates) {
    EXPECT_EQ(fromUtf16(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf16(u"a\u00E9\u20AC"), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(fromUtf16(std::u16string{u'a', 0xD83D, u'b'}), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(fromUtf16(std::u16string{0xDE00}), "\xEF\xBF\xBD");
    const std::string text = "d\xC3\xA9j\xC3\xA0/\xF0\x9F\x98\x80.bin";
    EXPECT_EQ(fromUtf16(toUtf16(text)), text);
}

TEST(PathTextTest, SystemPathUsesForwardSlashesAndConvertedText) {
    EXPECT_EQ(toSystemPath("C:\\game\\data/file.pak"), "C:/game/data/file.pak");
    EXPECT_EQ(toSystemPath("dir\\\xFF.txt"), "dir/*.txt");
    EXPECT_EQ(toSystemPath("a\x02" "k\x01" "z\\b"), "a/b");
    EXPECT_EQ(toSystemPath(""), "");
}

}  // namespace
