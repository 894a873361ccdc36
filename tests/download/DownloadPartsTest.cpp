// The download's pure parts: local names from the address, the ".info"
// layout and the block hash text.
#include <gtest/gtest.h>

#include <string>

#include "download/BlockHashText.h"
#include "download/PatchFileNames.h"
#include "download/PatchInfoRecord.h"
#include "platform/ErrorStack.h"

namespace {

TEST(PatchFileNames, NamesComeFromTheLastTwoPathPieces) {
    tavo::PatchFileNames names;
    ASSERT_TRUE(tavo::derivePatchFileNames("http://h/a/b/c/D2015.patch?x=1/y", "C:\\dl\\", names));
    EXPECT_EQ(names.directory, "C:\\dl/zanthpatch/c/patch");
    EXPECT_EQ(names.patchPath, "C:\\dl/zanthpatch/c/patch/D2015.patch");
    EXPECT_EQ(names.infoPath, "C:\\dl/zanthpatch/c/patch/D2015.patch.info");
}

TEST(PatchFileNames, UnsafeNamesAndSegmentsAreRefused) {
    for (const char* url : {"http://h/a/c/", "http://h/a/c/.", "http://h/a/c/..", "http://h/a/../x",
                            "http://h/a/.//x", "http://h/a/c/..\\x", "http://h/a/c\\..\\/x",
                            "http://h/a/c/%2e%2e", "http://h/a/c/x%2fy", "http://h/a/%5C/x", "x.patch"}) {
        SCOPED_TRACE(url);
        tavo::clearErrors();
        tavo::PatchFileNames names;
        EXPECT_FALSE(tavo::derivePatchFileNames(url, "/dl", names));
        EXPECT_EQ(tavo::lastError(), 21010);
    }
}

TEST(PatchInfoRecord, BytesAreLittleEndianFieldByField) {
    tavo::PatchInfoRecord r;
    r.enabled = 1;
    r.hashBlockSize = 0x0102030405060708ull;
    r.verifiedBlocks = 3;
    r.patchSize = 5000000;
    r.lastError = 20495;
    r.hashCount = 2;
    r.saveTime = 1700000000;
    r.resumeCount = 64;
    r.hashes[1][19] = 0xab;
    const auto b = r.toBytes();
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[8], 0x50);  // 5200
    EXPECT_EQ(b[9], 0x14);
    EXPECT_EQ(b[16], 0x08);
    EXPECT_EQ(b[23], 0x01);
    EXPECT_EQ(b[24], 3);
    EXPECT_EQ(b[40] | b[41] << 8, 20495);
    EXPECT_EQ(b[48], 2);
    EXPECT_EQ(b[64], 64);
    for (int i = 72; i < 80; ++i) EXPECT_EQ(b[i], 0);
    EXPECT_EQ(b[80 + 20 + 19], 0xab);
    const tavo::PatchInfoRecord back = tavo::PatchInfoRecord::fromBytes(b);
    EXPECT_EQ(back.hashBlockSize, r.hashBlockSize);
    EXPECT_EQ(back.saveTime, r.saveTime);
    EXPECT_TRUE(back.describesSamePatch(r));
}

TEST(BlockHashText, DigestsAreReadHighNibbleFirst) {
    tavo::PatchInfoRecord r;
    ASSERT_TRUE(tavo::readBlockHashes("00112233445566778899AABBCCDDEEFF0a1b2c3d,"
                                      "ffffffffffffffffffffffffffffffffffffffffextra",
                                      r));
    EXPECT_EQ(r.hashCount, 2u);
    EXPECT_EQ(r.hashes[0][1], 0x11);
    EXPECT_EQ(r.hashes[0][10], 0xaa);
    EXPECT_EQ(r.hashes[0][19], 0x3d);
    EXPECT_EQ(r.hashes[1][0], 0xff);
}

}  // namespace
