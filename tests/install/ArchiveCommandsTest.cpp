// Archive commands against a game tree in the release-folder layout; every
// patch selects that layout with its "T" command, so the cases do not depend
// on the process-wide flag's history.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "InstallFixture.h"
#include "install/InstallCodes.h"

namespace installtest {
namespace {

using mendrel::commandRecord;
using mendrel::encodeFileBlocks;
using mendrel::putBe16;
using mendrel::putBe32;
using Codes = std::vector<int>;

const std::string kBaseData0 = "tvpack/zanth/0a0000.win32.dat0";

std::string splice(std::string base, std::size_t at, const std::string& piece) {
    if (base.size() < at + piece.size()) base.resize(at + piece.size(), '\0');
    base.replace(at, piece.size(), piece);
    return base;
}

std::string le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string be32(uint32_t v) {
    std::string s;
    putBe32(s, v);
    return s;
}

TEST(AddData, WritesBlocksThenZeroFillAtBlockOffset) {
    InstallTree tree;
    const std::string original = patternBytes(1024, 1);
    tree.put(kBaseData0, original);
    const std::string data = patternBytes(256, 2);
    auto w = startReleaseLayoutPatch();
    w.addData(0x0a, 0, 0, 1, data, 3);
    const Outcome out = tree.applyDirect(tree.save(w));
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(out.codes);
    EXPECT_EQ(tree.read(kBaseData0), splice(splice(original, 128, data), 384, zeros(384)));
}

TEST(AddData, NewDataFileInheritsNameOfDataFileZero) {
    InstallTree tree;
    tree.put("tvpack/ex1/0b0100.ko.win32.d.dat0", "x");
    const std::string data = patternBytes(128, 3);
    auto w = startReleaseLayoutPatch();
    w.addData(0x0b, 0x0100, 1, 0, data);
    ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
    EXPECT_EQ(tree.read("tvpack/ex1/0b0100.ko.win32.d.dat1"), data);
}

TEST(AddData, RefusesBadRecords) {
    std::string shortPayload;  // blockCount 4, one block of payload
    putBe16(shortPayload, 0x0a);
    putBe16(shortPayload, 0);
    putBe32(shortPayload, 0);
    putBe32(shortPayload, 0);
    putBe32(shortPayload, 4);
    putBe32(shortPayload, 0);
    const std::string goodFields = shortPayload.substr(0, 20);
    struct Case {
        const char* name;
        std::string record;
        Codes codes;
    } cases[] = {
        {"payload shorter than blockCount x 128", commandRecord('A', 0, 0, shortPayload, patternBytes(128, 4)),
         {tavo::kErrAddPayloadShort, tavo::kErrCommandA}},
        {"innerSize below the header", commandRecord('A', 0, 0, shortPayload, {}, -8),
         {tavo::kErrInnerSizeShort}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        tree.put(kBaseData0, "original");
        auto w = startReleaseLayoutPatch();
        w.command(c.record);
        const Outcome out = tree.applyDirect(tree.save(w));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.codes, c.codes);
        EXPECT_EQ(tree.read(kBaseData0), "original");
    }
}

TEST(AddData, ArchiveWithoutDataFileZeroFails) {
    InstallTree tree;
    auto w = startReleaseLayoutPatch();
    w.addData(0x0c, 0, 0, 0, patternBytes(128, 5));
    const Outcome out = tree.applyDirect(tree.save(w));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.codes, (Codes{tavo::kErrDataFileOpen, tavo::kErrCommandA}));
}

TEST(DeleteData, WritesEmptyBlockHeaderInPlatformByteOrder) {
    struct Case {
        int16_t platform;
        uint32_t blockCount;
        std::string firstValue;
        std::string fourthValue;
    } cases[] = {
        {mendrel::kWin32, 1, le32(128), le32(0)},
        {mendrel::kPs3, 1, be32(128), be32(0)},
        {mendrel::kPs4, 3, le32(128), le32(2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platform);
        InstallTree tree;
        const std::string original = patternBytes(1024, 6);
        tree.put(kBaseData0, original);
        auto w = startReleaseLayoutPatch(c.platform);
        w.deleteData(0x0a, 0, 0, 2, c.blockCount);
        ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
        const std::string header = c.firstValue + zeros(8) + c.fourthValue + zeros(4);
        const std::string cleared = header + zeros(c.blockCount * 128 - header.size());
        EXPECT_EQ(tree.read(kBaseData0), splice(original, 256, cleared));
    }
}

TEST(DeleteData, ZeroBlockCountIsRefused) {
    InstallTree tree;
    tree.put(kBaseData0, "original");
    auto w = startReleaseLayoutPatch();
    w.deleteData(0x0a, 0, 0, 0, 0);
    const Outcome out = tree.applyDirect(tree.save(w));
    EXPECT_EQ(out.codes, (Codes{tavo::kErrEmptyBlockCount, tavo::kErrCommandD}));
    EXPECT_EQ(tree.read(kBaseData0), "original");
}

TEST(ExpandData, ExtendsShortFileAndWritesHeader) {
    InstallTree tree;
    const std::string original = patternBytes(200, 7);
    tree.put(kBaseData0, original);
    auto w = startReleaseLayoutPatch();
    w.expandData(0x0a, 0, 0, 1, 3);
    ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
    const std::string header = le32(128) + zeros(8) + le32(2) + zeros(4);
    std::string expected = original + zeros(512 - 200);
    EXPECT_EQ(tree.read(kBaseData0), splice(expected, 128, header));
}

TEST(ExpandData, LongFileOnlyGetsHeader) {
    InstallTree tree;
    const std::string original = patternBytes(2048, 8);
    tree.put(kBaseData0, original);
    auto w = startReleaseLayoutPatch(mendrel::kPs3);
    w.expandData(0x0a, 0, 0, 1, 1);
    ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
    const std::string header = be32(128) + zeros(16);
    EXPECT_EQ(tree.read(kBaseData0), splice(original, 128, header));
}

TEST(HeaderWrite, KindsAndRecordChecks) {
    const std::string header = patternBytes(1024, 9);
    std::string ids;
    putBe16(ids, 0x0a);
    putBe16(ids, 0);
    putBe32(ids, 0);
    struct Case {
        const char* name;
        std::string record;
        bool ok;
        Codes codes;
        std::size_t offset;  // where the header lands when ok
    } cases[] = {
        {"version header", commandRecord('H', 'D', 'V', ids, header), true, {}, 0},
        {"data header", commandRecord('H', 'D', 'D', ids, header), true, {}, 1024},
        {"other file kind ignored", commandRecord('H', 'I', 'V', ids, header), true, {}, std::string::npos},
        {"unknown header kind", commandRecord('H', 'D', 'Q', ids, header), false,
         {tavo::kErrHeaderKind, tavo::kErrCommandH}, std::string::npos},
        {"record not 1040 bytes", commandRecord('H', 'D', 'V', ids, header.substr(0, 1000)), false,
         {tavo::kErrHeaderLength, tavo::kErrCommandH}, std::string::npos},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        const std::string original = patternBytes(4096, 10);
        tree.put(kBaseData0, original);
        auto w = startReleaseLayoutPatch();
        w.command(c.record);
        const Outcome out = tree.applyDirect(tree.save(w));
        EXPECT_EQ(out.ok, c.ok);
        EXPECT_EQ(out.codes, c.codes);
        const std::string expected =
            c.offset == std::string::npos ? original : splice(original, c.offset, header);
        EXPECT_EQ(tree.read(kBaseData0), expected);
    }
}

TEST(FileAdd, CompressedAndStoredPiecesBuildTheFile) {
    for (int16_t platform : {mendrel::kWin32, mendrel::kPs3}) {
        SCOPED_TRACE(platform);
        const bool bigEndian = platform == mendrel::kPs3;
        InstallTree tree;
        tree.put("data/loose.bin", patternBytes(100000, 11));  // truncated by the first piece
        const std::string text(40000, 'q');                   // compresses well
        const std::string noise = patternBytes(20000, 12);      // stays stored
        auto w = startReleaseLayoutPatch(platform);
        w.fileAdd("data/loose.bin", 0, encodeFileBlocks(text, bigEndian, true));
        w.fileAdd("data/loose.bin", text.size(), encodeFileBlocks(noise, bigEndian, false));
        w.fileAdd("data/new/deep.bin", 0, encodeFileBlocks(noise, bigEndian, true));
        const Outcome out = tree.applyDirect(tree.save(w));
        ASSERT_TRUE(out.ok) << ::testing::PrintToString(out.codes);
        EXPECT_EQ(tree.read("data/loose.bin"), text + noise);
        EXPECT_EQ(tree.read("data/new/deep.bin"), noise);
    }
}

// One hand-made little-endian block: header length, compressed length, data length.
std::string block(uint32_t headerLength, uint32_t compressedLength, uint32_t dataLength,
                  const std::string& data, std::size_t paddedTo) {
    std::string b = le32(headerLength) + le32(0) + le32(compressedLength) + le32(dataLength) + data;
    b.resize(std::max(paddedTo, b.size()), '\0');
    return b;
}

TEST(FileAdd, RefusesBlocksThatDoNotFit) {
    const std::string packed = encodeFileBlocks(std::string(5000, 'z'), false, true);
    std::string wrongLength = packed;  // claims 6000 bytes of output
    wrongLength.replace(12, 4, le32(6000));
    std::string corrupt = packed;
    corrupt[16] = static_cast<char>(0xFF);  // an invalid DEFLATE block type
    corrupt[17] = static_cast<char>(0xFF);
    struct Case {
        const char* name;
        std::string blocks;
        int code;
    } cases[] = {
        {"data length above 16384", block(16, 32000, 16385, std::string(16385, 'a'), 16512),
         tavo::kErrBlockDataLength},
        {"stored data past the payload", block(16, 32000, 300, std::string(100, 'a'), 128),
         tavo::kErrBlockBounds},
        {"compressed length past the payload", block(16, 5000, 100, std::string(50, 'a'), 128),
         tavo::kErrBlockBounds},
        {"header length past the payload", block(4096, 32000, 10, std::string(10, 'a'), 128),
         tavo::kErrBlockBounds},
        {"header cut short", std::string(8, '\1'), tavo::kErrBlockBounds},
        {"inflates to another length", wrongLength, tavo::kErrBlockInflate},
        {"does not inflate", corrupt, tavo::kErrBlockInflate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        auto w = startReleaseLayoutPatch();
        w.fileAdd("data/file.bin", 0, c.blocks);
        const Outcome out = tree.applyDirect(tree.save(w));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.codes, (Codes{c.code, tavo::kErrCommandF}));
        EXPECT_FALSE(tree.exists("data/file.bin"));
    }
}

TEST(FileAdd, StoredBlockSuccessorStartsAtNextMultipleOf128) {
    InstallTree tree;
    // 16 + 113 bytes round up to 256: the second block starts there.
    const std::string first = block(16, 32000, 113, patternBytes(113, 13), 256);
    const std::string second = block(16, 32000, 7, "seven!!", 128);
    auto w = startReleaseLayoutPatch();
    w.fileAdd("f.bin", 0, first + second + block(16, 0, 0, "", 128) + "ignored after the end");
    ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
    EXPECT_EQ(tree.read("f.bin"), patternBytes(113, 13) + "seven!!");
}

TEST(FileOperation, DeleteAndMakeDirectory) {
    InstallTree tree;
    tree.put("data/old.bin", "old");
    auto w = startReleaseLayoutPatch();
    w.fileDelete("data/old.bin").fileDelete("data/never-there.bin").makeDirectory("movie/new/sub");
    ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
    EXPECT_FALSE(tree.exists("data/old.bin"));
    EXPECT_TRUE(tree.exists("movie/new/sub"));
}

TEST(FileOperation, ReleaseRemovalScopes) {
    const std::vector<std::string> files = {
        "tvpack/zanth/a.dat0", "tvpack/zanth/keep.ver", "tvpack/ex1/b.dat0", "tvpack/ex10/c.dat0",
        "tvpack/ex2/d.dat0",   "movie/ex1/m.bik",       "movie/intro.bik",   "data/x.bin",
        "zanthgame.ver",       "top.txt"};
    struct Case {
        uint16_t expansion;
        std::vector<std::string> gone;
    } cases[] = {
        {0, {"tvpack/zanth/a.dat0", "movie/intro.bik", "data/x.bin", "data", "top.txt"}},
        {1, {"tvpack/ex1/b.dat0", "tvpack/ex10/c.dat0", "movie/ex1/m.bik", "tvpack/ex1", "tvpack/ex10",
             "movie/ex1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expansion);
        InstallTree tree;
        for (const std::string& f : files) tree.put(f, f);
        auto w = startReleaseLayoutPatch();
        w.removeRelease("", c.expansion);
        const Outcome out = tree.applyDirect(tree.save(w));
        ASSERT_TRUE(out.ok) << ::testing::PrintToString(out.codes);
        for (const std::string& f : files) {
            const bool gone = std::find(c.gone.begin(), c.gone.end(), f) != c.gone.end();
            EXPECT_EQ(tree.exists(f), !gone) << f;
        }
        for (const std::string& g : c.gone) EXPECT_FALSE(tree.exists(g)) << g;
    }
}

TEST(FileOperation, ReleaseRemovalNeedsDirectory) {
    InstallTree tree;
    auto w = startReleaseLayoutPatch();
    w.removeRelease("tvpack/none", 1);
    const Outcome out = tree.applyDirect(tree.save(w));
    EXPECT_EQ(out.codes, (Codes{tavo::kErrReleaseNotDirectory, tavo::kErrCommandF}));
    EXPECT_EQ(out.message, tree.game("tvpack/none"));
}

TEST(DirectoryChunks, CreateAndRemove) {
    InstallTree tree;
    tree.put("old/empty/.keep", "");
    std::remove(tree.game("old/empty/.keep").c_str());
    auto w = startReleaseLayoutPatch();
    w.addDirectory("new/a/b").deleteDirectory("old/empty").deleteDirectory("not/there");
    ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
    EXPECT_TRUE(tree.exists("new/a/b"));
    EXPECT_FALSE(tree.exists("old/empty"));
    EXPECT_TRUE(tree.exists("old"));
}

TEST(PatchPaths, OutsideTheInstallationAreRefused) {
    const std::string tagged = std::string(".\x02") + "a\x01" + "b.";  // ".." once the tag is dropped
    struct Case {
        const char* name;
        std::function<void(mendrel::MendrelWriter&)> add;
        Codes codes;
    } cases[] = {
        {"F parent", [](auto& w) { w.fileAdd("../escaped.bin", 0, encodeFileBlocks("x", false, false)); },
         {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"F nested parent", [](auto& w) { w.fileAdd("a/../../escaped.bin", 0, encodeFileBlocks("x", false, false)); },
         {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"F backslash parent", [](auto& w) { w.fileDelete("..\\escaped.bin"); },
         {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"F absolute", [](auto& w) { w.makeDirectory("/tmp/zanth-escaped"); },
         {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"F drive", [](auto& w) { w.makeDirectory("C:escaped"); }, {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"F release of parent", [](auto& w) { w.removeRelease("..", 0); },
         {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"F tagged", [&](auto& w) { w.makeDirectory(tagged + "/escaped"); },
         {tavo::kErrPathOutside, tavo::kErrCommandF}},
        {"ADIR parent", [](auto& w) { w.addDirectory("../escaped"); }, {tavo::kErrPathOutside}},
        {"DELD parent", [](auto& w) { w.deleteDirectory(".."); }, {tavo::kErrPathOutside}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        tree.put("../escaped.bin", "outside");
        tree.put("keep.txt", "inside");
        auto w = startReleaseLayoutPatch();
        c.add(w);
        const Outcome out = tree.applyDirect(tree.save(w));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.codes, c.codes);
        EXPECT_EQ(tree.read("../escaped.bin"), "outside");
        EXPECT_FALSE(tree.exists("../escaped"));
        EXPECT_FALSE(tavotest::pathExists("/tmp/zanth-escaped"));
        EXPECT_EQ(tree.read("keep.txt"), "inside");
    }
}

}  // namespace
}  // namespace installtest
