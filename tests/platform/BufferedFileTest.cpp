#include "platform/BufferedFile.h"
#include "platform/ErrorStack.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

using namespace tavo;
using tavotest::TempDir;
using tavotest::writeFile;

namespace {

constexpr uint32_t kSmallCache = 64;
constexpr std::size_t kFileSize = 300;

std::string patternBytes(std::size_t n, int seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + seed);
    return s;
}

uint32_t zlibCrc(const std::string& bytes) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A patch-like file read through a small cache; `rewrite` changes the bytes on
// disk behind the cache so that a hit (old bytes) is told from a miss (new bytes).
class BufferedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_ / "patch.bin";
        writeFile(path_, patternBytes(kFileSize, 1));
        ASSERT_TRUE(file_.open(path_.c_str(), "rb", 0));
        uint64_t size = 0;
        ASSERT_TRUE(file_.size(&size));
        file_.setEndOfData(size);
    }
    void rewrite() { writeFile(path_, patternBytes(kFileSize, 2)); }
    std::string readAt(uint64_t offset, uint32_t count) {
        std::string out(count, '\0');
        uint32_t n = 12345;
        EXPECT_TRUE(file_.readAt(out.data(), count, &n, offset));
        out.resize(n);
        return out;
    }

    TempDir dir_;
    std::string path_;
    BufferedFile file_{kSmallCache};
};

struct CacheCase {
    uint64_t firstOffset;
    uint64_t secondOffset;
    uint32_t secondCount;
    bool hit;
};

TEST_F(BufferedFileTest, SecondReadIsServedFromTheWindowOnlyWhenInside) {
    const CacheCase cases[] = {
        {0, 8, 16, true},
        {0, 0, 64, true},     // exactly the window
        {10, 73, 1, true},    // last byte of the window [10, 74)
        {0, 60, 8, false},    // reaches past the window
        {10, 9, 4, false},    // starts before it
        {0, 64, 4, false},    // starts at its end
    };
    for (const CacheCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.firstOffset << " then " << c.secondOffset << "+" << c.secondCount);
        writeFile(path_, patternBytes(kFileSize, 1));
        readAt(c.firstOffset, 4);
        rewrite();
        const int expectedSeed = c.hit ? 1 : 2;
        EXPECT_EQ(readAt(c.secondOffset, c.secondCount),
                  patternBytes(kFileSize, expectedSeed).substr(c.secondOffset, c.secondCount));
        ASSERT_TRUE(file_.open(path_.c_str(), "rb", 0));  // empties the window for the next case
    }
}

TEST_F(BufferedFileTest, EndOfDataBoundsWhatIsReadAndDelivered) {
    const std::string original = patternBytes(kFileSize, 1);
    file_.setBytesRead(0);
    EXPECT_EQ(readAt(kFileSize, 10), "");  // at the end: nothing read, nothing counted
    EXPECT_EQ(readAt(kFileSize + 1000, 10), "");
    EXPECT_EQ(file_.bytesRead(), 0u);

    EXPECT_EQ(readAt(kFileSize - 5, 10), original.substr(kFileSize - 5));  // only the bytes that exist
    EXPECT_EQ(file_.bytesRead(), 5u);

    file_.setEndOfData(100);
    EXPECT_EQ(readAt(90, 20), original.substr(90, 10));  // the cache is not filled past the end of data
    EXPECT_EQ(file_.bytesRead(), 15u);
}

TEST_F(BufferedFileTest, OversizedRequestGrowsTheCacheToItsLength) {
    const std::string original = patternBytes(kFileSize, 1);
    EXPECT_EQ(readAt(10, 200), original.substr(10, 200));
    EXPECT_EQ(file_.cacheCapacity(), 200u);
    rewrite();
    EXPECT_EQ(readAt(50, 160), original.substr(50, 160));  // inside the grown window
}

TEST_F(BufferedFileTest, CrcAndBytesReadCoverEveryDeliveredByte) {
    const std::string original = patternBytes(kFileSize, 1);
    file_.resetCrc();
    file_.setBytesRead(0);
    std::string delivered = readAt(0, 40);  // one statement each: the CRC follows the read order
    delivered += readAt(40, 40);
    delivered += readAt(80, 100);
    uint64_t pos = 0;
    ASSERT_TRUE(file_.seek(180, 0, &pos));
    char rest[kFileSize];
    uint32_t n = 0;
    ASSERT_TRUE(file_.read(rest, sizeof rest, &n));
    delivered.append(rest, n);
    EXPECT_EQ(delivered, original);
    EXPECT_EQ(file_.bytesRead(), kFileSize);
    EXPECT_EQ(file_.crc(), zlibCrc(original));

    // The uncached read bypasses counters and CRC.
    ASSERT_TRUE(file_.readAtUncached(rest, 16, &n, 0));
    EXPECT_EQ(file_.bytesRead(), kFileSize);
    EXPECT_EQ(file_.crc(), zlibCrc(original));
    file_.resetCrc();
    EXPECT_EQ(file_.crc(), 0u);
}

TEST_F(BufferedFileTest, ReadAtLeavesThePositionUnchanged) {
    uint64_t pos = 0;
    ASSERT_TRUE(file_.seek(10, 0, &pos));
    readAt(200, 50);
    readAt(0, 300);
    char buf[4];
    uint32_t n = 0;
    ASSERT_TRUE(file_.read(buf, 4, &n));
    EXPECT_EQ(std::string(buf, n), patternBytes(kFileSize, 1).substr(10, 4));
}

TEST_F(BufferedFileTest, MissingArgumentsPush10710) {
    char buf[4];
    uint32_t n = 0;
    EXPECT_FALSE(file_.readAt(nullptr, 4, &n, 0));
    EXPECT_FALSE(file_.readAt(buf, 4, nullptr, 0));
    EXPECT_EQ(lastError(), kErrMissingArgument);
}

TEST(BufferedFileWriteTest, WritesFeedTheCrcAndDropTheWindow) {
    TempDir dir;
    const std::string path = dir / "out.bin";
    writeFile(path, patternBytes(100, 1));
    BufferedFile f(kSmallCache);
    ASSERT_TRUE(f.open(path.c_str(), "r+b", 0));
    f.setEndOfData(100);
    char buf[16];
    uint32_t n = 0;
    ASSERT_TRUE(f.readAt(buf, 16, &n, 0));
    f.resetCrc();
    f.setBytesRead(0);
    ASSERT_TRUE(f.write("HELLO", 5, &n));
    EXPECT_EQ(f.crc(), zlibCrc("HELLO"));
    EXPECT_EQ(f.bytesRead(), 0u);
    ASSERT_TRUE(f.readAt(buf, 5, &n, 0));
    EXPECT_EQ(std::string(buf, n), "HELLO");
}

TEST(BufferedFileUncachedTest, WorksWithoutCacheAndAcrossFourGiB) {
    TempDir dir;
    const std::string path = dir / "sparse.bin";
    const uint64_t far = (4ull << 30) + 77;
    {
        File w;
        ASSERT_TRUE(w.open(path.c_str(), "wb", 0));
        uint32_t n = 0;
        ASSERT_TRUE(w.writeAt("far data", 8, &n, far));
    }
    BufferedFile cached(kSmallCache);
    BufferedFile uncached(0);
    EXPECT_EQ(uncached.cacheCapacity(), 0u);
    for (BufferedFile* f : {&cached, &uncached}) {
        SCOPED_TRACE(f->cacheCapacity());
        ASSERT_TRUE(f->open(path.c_str(), "rb", 0));
        uint64_t size = 0;
        ASSERT_TRUE(f->size(&size));
        f->setEndOfData(size);
        char buf[8];
        uint32_t n = 0;
        ASSERT_TRUE(f->readAt(buf, 8, &n, far));
        EXPECT_EQ(std::string(buf, n), "far data");
        EXPECT_EQ(f->bytesRead(), 8u);
        EXPECT_EQ(f->crc(), zlibCrc("far data"));
    }
}

TEST(BufferedFileDefaultTest, AllocatesTheFullCache) {
    BufferedFile f;
    EXPECT_EQ(f.cacheCapacity(), BufferedFile::kCacheCapacity);
}

}  // namespace
