#include "interface/SessionParams.h"

#include <gtest/gtest.h>

namespace {

TEST(SessionParams, KeysOrTheWholeTextAsBootHash) {
    struct Case {
        const char* text;
        const char* sessionId;
        const char* bootHash;
    };
    const Case cases[] = {
        {"SESSIONID=ab,BOOTHASH=cd", "ab", "cd"},
        {"BOOTHASH=cd,SESSIONID=ab", "ab", "cd"},
        {"BOOTHASH=cd", "", "cd"},
        {"SESSIONID=ab", "ab", ""},
        {"file/12/0a1b", "", "file/12/0a1b"},
        {"", "", ""},
        // Empty values count as missing keys: the whole text is the boot hash.
        {"SESSIONID=,BOOTHASH=", "", "SESSIONID=,BOOTHASH="},
        {"x,SESSIONID=a=b,c", "a=b", ""},
    };
    for (const Case& c : cases) {
        const tavo::SessionParams p = tavo::parseSessionParams(c.text);
        EXPECT_EQ(p.sessionId, c.sessionId) << c.text;
        EXPECT_EQ(p.bootHash, c.bootHash) << c.text;
    }
}

}  // namespace
