#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <iterator>
#include <string>

#include "support/TempDir.h"
#include "tavoPatch.h"

namespace {

using tavotest::TempDir;

class VersionFile : public ::testing::Test {
protected:
    std::string versionPath() const { return dir_ / "zanthgame.ver"; }
    TempDir dir_;
};

TEST_F(VersionFile, WritesTheBareNameAndReadsItBackWithinTheBuffer) {
    // A trailing backslash is a separator like any other.
    const std::string dir = dir_.path() + "\\";
    ASSERT_EQ(tavoPatchSetVersionName(dir.c_str(), "game", "2015.02.09.0000.0000"), 0);
    EXPECT_EQ(tavotest::readFile(versionPath()), "2015.02.09.0000.0000");  // 20 bytes, no terminator

    char out[32];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(tavoPatchGetVersionName(dir.c_str(), "game", out, 20), TAVOPATCH_BUFFER_TOO_SMALL);
    EXPECT_EQ(out[0], 'z');
    ASSERT_EQ(tavoPatchGetVersionName(dir.c_str(), "game", out, 21), 0);
    EXPECT_STREQ(out, "2015.02.09.0000.0000");
    EXPECT_EQ(tavoPatchGetVersionName(dir.c_str(), "game", nullptr, 0), TAVOPATCH_BUFFER_TOO_SMALL);

    // A shorter version replaces the file whole.
    ASSERT_EQ(tavoPatchSetVersionName(dir_.path().c_str(), "game", "1"), 0);
    EXPECT_EQ(tavotest::readFile(versionPath()), "1");
}

TEST_F(VersionFile, VersionLengthLimit) {
    const std::string longest(255, 'v');
    const std::string tooLong(256, 'v');
    EXPECT_EQ(tavoPatchSetVersionName(dir_.path().c_str(), "game", tooLong.c_str()), TAVOPATCH_FAILED);
    EXPECT_FALSE(tavotest::pathExists(versionPath()));
    ASSERT_EQ(tavoPatchSetVersionName(dir_.path().c_str(), "game", longest.c_str()), 0);
    char out[256];
    ASSERT_EQ(tavoPatchGetVersionName(dir_.path().c_str(), "game", out, sizeof out), 0);
    EXPECT_EQ(std::string(out), longest);
}

TEST_F(VersionFile, RefusalsInOrder) {
    const char* dir = dir_.path().c_str();
    const std::string missing = dir_ / "missing";
    char out[64];
    struct Case {
        const char* what;
        int set;
        int get;
    };
    const Case cases[] = {
        {"bad directory text", tavoPatchSetVersionName("\xff", "game", "1"), tavoPatchGetVersionName("\xff", "game", out, 64)},
        {"bad repository text", tavoPatchSetVersionName(dir, "\xfe", "1"), tavoPatchGetVersionName(dir, "\xfe", out, 64)},
        {"other repository", tavoPatchSetVersionName(dir, "boot", "1"), tavoPatchGetVersionName(dir, "boot", out, 64)},
        {"null directory", tavoPatchSetVersionName(nullptr, "game", "1"), tavoPatchGetVersionName(nullptr, "game", out, 64)},
        {"missing directory", tavoPatchSetVersionName(missing.c_str(), "game", "1"),
         tavoPatchGetVersionName(missing.c_str(), "game", out, 64)},
    };
    const int expected[][2] = {
        {TAVOPATCH_BAD_UTF8, TAVOPATCH_BAD_UTF8},
        {TAVOPATCH_BAD_UTF8, TAVOPATCH_BAD_UTF8},
        {TAVOPATCH_BAD_REPOSITORY, TAVOPATCH_BAD_REPOSITORY},
        {TAVOPATCH_BAD_UTF8, TAVOPATCH_BAD_UTF8},
        {TAVOPATCH_BAD_VERSION_DIR, TAVOPATCH_NO_VERSION_FILE},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].set, expected[i][0]) << cases[i].what;
        EXPECT_EQ(cases[i].get, expected[i][1]) << cases[i].what;
    }
    EXPECT_EQ(tavoPatchSetVersionName(dir, "game", "\xc0"), TAVOPATCH_BAD_UTF8);
    // A text or repository check never leaves a file behind.
    EXPECT_FALSE(tavotest::pathExists(versionPath()));
}

TEST_F(VersionFile, MissingEmptyAndDirectoryVersionFiles) {
    char out[8] = "xxxxxxx";
    EXPECT_EQ(tavoPatchGetVersionName(dir_.path().c_str(), "game", out, sizeof out), TAVOPATCH_NO_VERSION_FILE);
    tavotest::writeFile(versionPath(), "");
    ASSERT_EQ(tavoPatchGetVersionName(dir_.path().c_str(), "game", out, 1), 0);
    EXPECT_EQ(out[0], '\0');

    TempDir other;
    ASSERT_EQ(mkdir((other / "zanthgame.ver").c_str(), 0755), 0);
    EXPECT_EQ(tavoPatchGetVersionName(other.path().c_str(), "game", out, sizeof out), TAVOPATCH_NO_VERSION_FILE);
}

}  // namespace
