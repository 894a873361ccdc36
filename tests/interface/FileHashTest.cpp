#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/TempDir.h"
#include "tavoPatch.h"

namespace {

using tavotest::TempDir;

std::string hashString(const std::string& path, int size = 256) {
    std::string out(static_cast<std::size_t>(size), '\0');
    if (tavoPatchGetFileHashString(path.c_str(), out.data(), size) != 0) return "<failed>";
    return out.c_str();
}

TEST(FileHash, NameSizeAndDigest) {
    TempDir dir;
    tavotest::writeFile(dir / "empty.exe", "");
    tavotest::writeFile(dir / "abc.bin", "abc");
    std::string big(1024 * 3 + 5, 'a');  // several 1024-byte pieces and a short one
    tavotest::writeFile(dir / "big", big);

    EXPECT_EQ(hashString(dir / "empty.exe"), "empty.exe/0/da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hashString(dir / "abc.bin"), "abc.bin/3/a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hashString(dir / "big"), "big/3077/19b92a5148ee44c16f5c97c5babc5617260294d8");
    // Backslashes separate too: only the name after the last one is kept.
    EXPECT_EQ(hashString(dir.path() + "\\abc.bin"), "abc.bin/3/a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(FileHash, SmallBufferIsNeverOverrun) {
    TempDir dir;
    tavotest::writeFile(dir / "abc.bin", "abc");
    const std::string expected = "abc.bin/3/a9993e364706816aba3e25717850c26c9cd0d89d";
    char out[80];
    std::memset(out, '#', sizeof out);
    const int exact = static_cast<int>(expected.size());  // no room for the terminator
    EXPECT_EQ(tavoPatchGetFileHashString((dir / "abc.bin").c_str(), out, exact), TAVOPATCH_FAILED);
    for (char c : out) ASSERT_EQ(c, '#');
    EXPECT_EQ(tavoPatchGetFileHashString((dir / "abc.bin").c_str(), out, 0), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchGetFileHashString((dir / "abc.bin").c_str(), nullptr, 80), TAVOPATCH_FAILED);
    ASSERT_EQ(tavoPatchGetFileHashString((dir / "abc.bin").c_str(), out, exact + 1), 0);
    EXPECT_EQ(std::string(out), expected);
}

TEST(FileHash, RefusesMalformedPathsAndMissingFiles) {
    char out[64];
    EXPECT_EQ(tavoPatchGetFileHashString("\xff", out, sizeof out), TAVOPATCH_BAD_UTF8);
    EXPECT_EQ(tavoPatchGetFileHashString(nullptr, out, sizeof out), TAVOPATCH_BAD_UTF8);
    // A missing file is retried for ten seconds before the call gives up.
    TempDir dir;
    EXPECT_EQ(tavoPatchGetFileHashString((dir / "missing").c_str(), out, sizeof out), TAVOPATCH_FAILED);
}

}  // namespace
