#include "platform/File.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace tavo;
using tavotest::readFile;
using tavotest::TempDir;
using tavotest::writeFile;

namespace {

constexpr int kSentinel = 4242;

std::vector<int> errorsNewestFirst() {
    std::vector<int> codes;
    copyErrors(codes);
    return codes;
}

const std::vector<int> kRawThenMarker(unsigned win32) {
    return {kErrRawOsMarker, static_cast<int>(win32)};
}

long long elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

struct ModeCase {
    const char* mode;
    bool opens;
    bool canRead;
    bool canWrite;
    uint64_t sizeAfterOpen;
};

TEST(FileTest, ModeDecidesAccessAndTruncation) {
    const ModeCase cases[] = {
        {"rb", true, true, false, 5},
        {"r+b", true, true, true, 5},
        {"rb+", true, true, false, 5},  // only the character right after 'r' counts
        {"wb", true, false, true, 0},
        {"w+b", true, true, true, 0},
        {"b", false, false, false, 5},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        const std::string path = dir / "f.bin";
        writeFile(path, "hello");
        File f;
        ASSERT_EQ(f.open(path.c_str(), c.mode, 0), c.opens);
        EXPECT_EQ(f.isOpen(), c.opens);
        if (!c.opens) {
            EXPECT_EQ(readFile(path), "hello");
            continue;
        }
        uint64_t size = 99;
        ASSERT_TRUE(f.size(&size));
        EXPECT_EQ(size, c.sizeAfterOpen);
        char buf[8];
        uint32_t n = 0;
        EXPECT_EQ(f.read(buf, sizeof buf, &n), c.canRead);
        uint32_t written = 0;
        EXPECT_EQ(f.write("xy", 2, &written), c.canWrite);
    }
}

TEST(FileTest, OpenFailuresReportSystemErrors) {
    TempDir dir;
    writeFile(dir / "plain", "x");
    struct Case {
        std::string path;
        const char* mode;
        std::vector<int> errors;
    };
    const Case cases[] = {
        {dir / "missing.bin", "rb", kRawThenMarker(2)},
        {dir / "nodir/missing.bin", "rb", kRawThenMarker(3)},
        {dir.path(), "rb", kRawThenMarker(5)},  // a directory is no file
        {dir / "plain/below.bin", "wb", kRawThenMarker(3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        File f;
        const auto start = std::chrono::steady_clock::now();
        // Retries only apply to an existing, writable file, so none of these waits.
        EXPECT_FALSE(f.open(c.path.c_str(), c.mode, 5));
        EXPECT_LT(elapsedMs(start), 300);
        EXPECT_FALSE(f.isOpen());
        EXPECT_EQ(errorsNewestFirst(), c.errors);
    }
}

TEST(FileTest, WritingOpenCreatesMissingParentDirectories) {
    TempDir dir;
    const std::string paths[] = {dir / "x/y/z.bin", dir.path() + "\\p\\q\\r.bin"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        File f;
        ASSERT_TRUE(f.open(path.c_str(), "wb", 0));
        uint32_t n = 0;
        ASSERT_TRUE(f.write("data", 4, &n));
        EXPECT_EQ(n, 4u);
    }
    EXPECT_EQ(readFile(dir / "x/y/z.bin"), "data");
    EXPECT_EQ(readFile(dir / "p/q/r.bin"), "data");
}

TEST(FileTest, RetriesWaitOnlyForAnExistingWritableFile) {
    if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    TempDir dir;
    const std::string locked = dir / "locked.bin";
    writeFile(locked, "x");
    ASSERT_EQ(chmod(locked.c_str(), S_IWUSR), 0);  // writable, not readable
    File f;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(f.open(locked.c_str(), "rb", 2));
    EXPECT_GE(elapsedMs(start), 200);
    EXPECT_EQ(errorsNewestFirst(), kRawThenMarker(5));

    const std::string readOnly = dir / "readonly.bin";
    writeFile(readOnly, "x");
    ASSERT_EQ(chmod(readOnly.c_str(), S_IRUSR), 0);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(f.open(readOnly.c_str(), "wb", 5));
    EXPECT_LT(elapsedMs(start), 300);
    EXPECT_EQ(errorsNewestFirst(), kRawThenMarker(5));
}

TEST(FileTest, MissingArgumentsPush10710) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    writeFile(path, "0123456789");
    File f;
    ASSERT_TRUE(f.open(path.c_str(), "r+b", 0));
    char buf[4];
    uint32_t n = 0;
    const bool results[] = {
        f.read(nullptr, 4, &n),         f.read(buf, 4, nullptr),
        f.write(nullptr, 4, &n),        f.write(buf, 4, nullptr),
        f.readAt(nullptr, 4, &n, 0),    f.readAt(buf, 4, nullptr, 0),
        f.writeAt(nullptr, 4, &n, 0),   f.writeAt(buf, 4, nullptr, 0),
    };
    for (std::size_t i = 0; i < std::size(results); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(results[i]);
    }
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kErrMissingArgument});
    EXPECT_FALSE(f.open(nullptr, "rb", 0));
    EXPECT_FALSE(f.open(path.c_str(), nullptr, 0));
    EXPECT_EQ(readFile(path), "0123456789");
}

TEST(FileTest, PositionalTransfersLeaveThePositionAlone) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    writeFile(path, "0123456789");
    File f;
    ASSERT_TRUE(f.open(path.c_str(), "r+b", 0));
    uint64_t pos = 0;
    ASSERT_TRUE(f.seek(2, 0, &pos));
    char buf[4] = {};
    uint32_t n = 0;
    ASSERT_TRUE(f.readAt(buf, 3, &n, 6));
    EXPECT_EQ(std::string(buf, n), "678");
    ASSERT_TRUE(f.writeAt("AB", 2, &n, 8));
    EXPECT_EQ(n, 2u);
    ASSERT_TRUE(f.read(buf, 2, &n));
    EXPECT_EQ(std::string(buf, n), "23");
    ASSERT_TRUE(f.readAt(buf, 4, &n, 8));  // short at the end of the file
    EXPECT_EQ(std::string(buf, n), "AB");
    f.close();
    EXPECT_EQ(readFile(path), "01234567AB");
}

TEST(FileTest, SeekOriginsAndRejectedArguments) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    writeFile(path, "0123456789");
    File f;
    ASSERT_TRUE(f.open(path.c_str(), "rb", 0));
    struct Case {
        int64_t offset;
        int origin;
        uint64_t expected;
    };
    const Case moves[] = {{4, 0, 4}, {3, 1, 7}, {-2, 1, 5}, {-1, 2, 9}, {0, 2, 10}};
    for (const Case& c : moves) {
        uint64_t pos = 0;
        ASSERT_TRUE(f.seek(c.offset, c.origin, &pos));
        EXPECT_EQ(pos, c.expected) << c.offset << " from " << c.origin;
    }
    resetError(kSentinel);
    uint64_t pos = 0;
    EXPECT_FALSE(f.seek(0, 3, &pos));
    EXPECT_FALSE(f.seek(0, -1, &pos));
    EXPECT_FALSE(f.seek(0, 0, nullptr));
    EXPECT_FALSE(f.seek(-20, 0, &pos));
    EXPECT_FALSE(f.size(nullptr));
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kSentinel});
}

TEST(FileTest, SixtyFourBitOffsets) {
    TempDir dir;
    const std::string path = dir / "sparse.bin";
    const uint64_t far = (5ull << 30) + 123;  // beyond 4 GiB
    File f;
    ASSERT_TRUE(f.open(path.c_str(), "w+b", 0));
    uint32_t n = 0;
    ASSERT_TRUE(f.writeAt("tail", 4, &n, far));
    ASSERT_EQ(n, 4u);
    uint64_t size = 0;
    ASSERT_TRUE(f.size(&size));
    EXPECT_EQ(size, far + 4);
    char buf[8] = {};
    ASSERT_TRUE(f.readAt(buf, 8, &n, far - 2));
    EXPECT_EQ(std::string(buf, n), std::string("\0\0tail", 6));
    uint64_t pos = 0;
    ASSERT_TRUE(f.seek(-4, 2, &pos));
    EXPECT_EQ(pos, far);
    ASSERT_TRUE(f.read(buf, 4, &n));
    EXPECT_EQ(std::string(buf, n), "tail");
}

TEST(FileTest, StreamCopiesStopAtCountOrEndOfSource) {
    TempDir dir;
    std::string content(10000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + 7);
    writeFile(dir / "src.bin", content);
    File src;
    File dst;
    ASSERT_TRUE(src.open((dir / "src.bin").c_str(), "rb", 0));
    ASSERT_TRUE(dst.open((dir / "dst.bin").c_str(), "wb", 0));
    uint64_t copied = 0;
    ASSERT_TRUE(dst.copyFromCount(src, 5000, &copied));
    EXPECT_EQ(copied, 5000u);
    ASSERT_TRUE(dst.copyFromAll(src, &copied));
    EXPECT_EQ(copied, 5000u);
    ASSERT_TRUE(dst.copyFromCount(src, 100, &copied));  // source exhausted
    EXPECT_EQ(copied, 0u);
    dst.close();
    EXPECT_EQ(readFile(dir / "dst.bin"), content);
}

TEST(FileTest, DiskFullAndClosedFileFailures) {
    File full;
    ASSERT_TRUE(full.open("/dev/full", "wb", 0));
    uint32_t n = 0;
    EXPECT_FALSE(full.write("abc", 3, &n));
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kErrDiskFull});

    File closed;
    EXPECT_FALSE(closed.flush());
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kErrFileNotOpen});
    char buf[2];
    EXPECT_FALSE(closed.read(buf, 2, &n));
    EXPECT_EQ(lastError(), kErrRawOsMarker);
}

TEST(FileTest, ReopenReplacesTheHandleAndFlushSucceeds) {
    TempDir dir;
    writeFile(dir / "a.bin", "AAAA");
    writeFile(dir / "b.bin", "BBBB");
    File f;
    ASSERT_TRUE(f.open((dir / "a.bin").c_str(), "r+b", 0));
    ASSERT_TRUE(f.open((dir / "b.bin").c_str(), "r+b", 0));
    uint32_t n = 0;
    ASSERT_TRUE(f.write("xy", 2, &n));
    EXPECT_TRUE(f.flush());
    f.close();
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(readFile(dir / "a.bin"), "AAAA");
    EXPECT_EQ(readFile(dir / "b.bin"), "xyBB");
}

}  // namespace
