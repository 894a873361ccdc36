#include "platform/FileSystem.h"
#include "platform/ErrorStack.h"
#include "platform/File.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace tavo;
using tavotest::pathExists;
using tavotest::readFile;
using tavotest::TempDir;
using tavotest::writeFile;

namespace {

constexpr int kSentinel = 4242;
constexpr int kVisitorCode = 777;

std::vector<int> errorsNewestFirst() {
    std::vector<int> codes;
    copyErrors(codes);
    return codes;
}

std::vector<int> rawThenMarker(int win32) { return {kErrRawOsMarker, win32}; }

long long elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

void makeReadOnly(const std::string& path) { ASSERT_EQ(chmod(path.c_str(), S_IRUSR), 0); }

struct PathCase {
    std::string path;
    std::string fileName;
    std::string extension;
    std::string directory;
};

TEST(PathStringTest, NameExtensionAndDirectory) {
    const PathCase cases[] = {
        {"a/b/c.txt", "c.txt", "txt", "a/b/"},
        {"a\\b\\c", "c", "", "a\\b\\"},
        {"mixed\\x/y.z", "y.z", "z", "mixed\\x/"},
        {"dir.old/file", "file", "old/file", "dir.old/"},  // the last dot anywhere counts
        {"plain", "plain", "", "plain"},
        {"dir/", "", "", "dir/"},
        {"", "", "", ""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fileNameOf(c.path), c.fileName);
        EXPECT_EQ(extensionOf(c.path), c.extension);
        EXPECT_EQ(directoryOf(c.path), c.directory);
    }
}

TEST(PathStringTest, SeparatorEditing) {
    const std::pair<std::string, std::string> strips[] = {
        {"a/", "a"}, {"a\\", "a"}, {"a//", "a/"}, {"a", "a"}, {"", ""}, {"/", ""}};
    for (const auto& [in, out] : strips) {
        std::string s = in;
        stripTrailingSeparator(s);
        EXPECT_EQ(s, out) << in;
    }
    std::string s = "a/b\\c/d";
    normalizeSeparators(s, '\\');
    EXPECT_EQ(s, "a\\b\\c\\d");
    normalizeSeparators(s, '/');
    EXPECT_EQ(s, "a/b/c/d");
    EXPECT_TRUE(isSeparator('/'));
    EXPECT_TRUE(isSeparator('\\'));
    EXPECT_FALSE(isSeparator(':'));
}

TEST(QueryTest, ExistenceAndReadOnlyAttribute) {
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    writeFile(dir / "ro.txt", "x");
    makeReadOnly(dir / "ro.txt");
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    struct Case {
        std::string path;
        bool file, directory, readOnly;
    };
    const Case cases[] = {
        {dir / "file.txt", true, false, false},
        {dir.path() + "\\file.txt", true, false, false},
        {dir / "ro.txt", true, false, true},
        {dir / "sub", false, true, false},
        {dir / "sub\\", false, true, false},
        {dir / "missing", false, false, false},
        {dir / "file.txt/below", false, false, false},
    };
    resetError(kSentinel);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fileExists(c.path), c.file);
        EXPECT_EQ(directoryExists(c.path), c.directory);
        EXPECT_EQ(isReadOnlyFile(c.path), c.readOnly);
    }
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kSentinel});
}

// Sleeps are long where a test shows that none happens, so that the bound stays generous.
TEST(DeleteFileTest, MissingFileFailsAtOnceWith10708) {
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    const std::string paths[] = {dir / "missing.txt", dir / "nodir/missing.txt", dir / "file.txt/below", dir / "sub"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(deleteFile(path, true, 10, 3000));
        EXPECT_LT(elapsedMs(start), 1500);
        EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kErrDeleteMissingFile});
    }
    EXPECT_TRUE(pathExists(dir / "sub"));
}

TEST(DeleteFileTest, ReadOnlyFileNeedsClearReadOnly) {
    TempDir dir;
    const std::string path = dir / "ro.txt";
    writeFile(path, "x");
    makeReadOnly(path);

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(deleteFile(path, false, 0, 3000));  // one pass, no sleep
    EXPECT_LT(elapsedMs(start), 1500);
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(5));

    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(deleteFile(path, false, 2, 30));  // three passes, two sleeps
    EXPECT_GE(elapsedMs(start), 60);
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(5));
    EXPECT_TRUE(pathExists(path));

    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(deleteFile(path, true, 2, 3000));  // first pass
    EXPECT_LT(elapsedMs(start), 1500);
    EXPECT_FALSE(pathExists(path));
}

TEST(DeleteFileTest, WritableFileAndBackslashPath) {
    TempDir dir;
    writeFile(dir / "sub/a.txt", "x");
    EXPECT_TRUE(deleteFile(dir.path() + "\\sub\\a.txt", false, 0, 100));
    EXPECT_FALSE(pathExists(dir / "sub/a.txt"));
}

TEST(DeleteFileTest, UnwritableDirectoryFailsAfterRetries) {
    if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    TempDir dir;
    const std::string path = dir / "locked/f.txt";
    writeFile(path, "x");
    ASSERT_EQ(chmod((dir / "locked").c_str(), S_IRUSR | S_IXUSR), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(deleteFile(path, true, 2, 30));
    EXPECT_GE(elapsedMs(start), 60);
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(5));
    EXPECT_TRUE(pathExists(path));
}

TEST(CreateDirectoriesTest, CreatesEveryLevelAndSucceedsAgain) {
    TempDir dir;
    struct Case {
        std::string path;
        std::vector<std::string> levels;
    };
    const Case cases[] = {
        {dir / "a/b/c", {"a", "a/b", "a/b/c"}},
        {dir / "s/t/u/", {"s", "s/t", "s/t/u"}},
        {dir.path() + "\\x\\y\\z", {"x", "x/y", "x/y/z"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        resetError(kSentinel);
        ASSERT_TRUE(createDirectories(c.path));
        for (const std::string& level : c.levels) EXPECT_TRUE(directoryExists(dir / level)) << level;
        ASSERT_TRUE(createDirectories(c.path));
        EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kSentinel});
    }
}

TEST(CreateDirectoriesTest, FailsWithoutPushing) {
    TempDir dir;
    writeFile(dir / "file", "x");
    resetError(kSentinel);
    EXPECT_FALSE(createDirectories(""));
    EXPECT_FALSE(createDirectories(dir / "file/a/b"));
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kSentinel});
}

TEST(RemoveDirectoryTest, RemovesOnlyEmptyDirectories) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "empty").c_str(), 0755), 0);
    writeFile(dir / "full/f", "x");
    resetError(kSentinel);
    EXPECT_TRUE(removeDirectory(dir / "empty"));
    EXPECT_FALSE(hasErrors());
    EXPECT_FALSE(pathExists(dir / "empty"));
    EXPECT_FALSE(removeDirectory(dir / "full"));
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(145));
    EXPECT_FALSE(removeDirectory(dir / "missing"));
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(2));
}

// Records every call; pushes a code on each and refuses the entry numbered `stopAt`.
class RecordingVisitor : public DirectoryVisitor {
public:
    explicit RecordingVisitor(uint32_t stopAt = 0) : stopAt_(stopAt) {}
    bool onFile(const std::string& path, uint32_t& count) override { return visit("file " + path, count); }
    bool onDirectory(const std::string& path, uint32_t& count) override { return visit("dir " + path, count); }
    std::vector<std::string> calls;

private:
    bool visit(const std::string& call, uint32_t& count) {
        calls.push_back(call);
        pushError(kVisitorCode);
        if (calls.size() == stopAt_) return false;
        ++count;
        return true;
    }
    uint32_t stopAt_;
};

class WalkDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir_ / "tree/a.txt", "a");
        writeFile(dir_ / "tree/.hidden", "h");
        writeFile(dir_ / "tree/sub/deep.txt", "d");
        writeFile(dir_ / "outside/secret.txt", "s");
        ASSERT_EQ(symlink((dir_ / "outside").c_str(), (dir_ / "tree/link").c_str()), 0);
    }
    TempDir dir_;
};

TEST_F(WalkDirectoryTest, VisitsEachEntryOnceWithoutFollowingLinks) {
    const std::string base = dir_ / "tree";
    const std::string spellings[] = {base, base + "/", dir_.path() + "\\tree"};
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        RecordingVisitor visitor;
        resetError(kSentinel);
        EXPECT_EQ(walkDirectory(spelling, "*", visitor), 4u);
        EXPECT_FALSE(hasErrors());
        const std::string prefix = isSeparator(spelling.back()) ? spelling : spelling + "/";
        const std::set<std::string> expected = {"file " + prefix + "a.txt", "file " + prefix + ".hidden",
                                                "dir " + prefix + "sub", "file " + prefix + "link"};
        EXPECT_EQ(std::set<std::string>(visitor.calls.begin(), visitor.calls.end()), expected);
        EXPECT_EQ(visitor.calls.size(), expected.size());
    }
}

TEST_F(WalkDirectoryTest, VisitorRefusalStopsTheWalkAndKeepsItsCodes) {
    RecordingVisitor visitor(2);
    EXPECT_EQ(walkDirectory(dir_ / "tree", "*", visitor), 1u);
    EXPECT_EQ(visitor.calls.size(), 2u);
    EXPECT_EQ(errorsNewestFirst(), std::vector<int>{kVisitorCode});
}

TEST_F(WalkDirectoryTest, MissingDirectoryYieldsNothing) {
    RecordingVisitor visitor;
    resetError(kSentinel);
    EXPECT_EQ(walkDirectory(dir_ / "missing", "*", visitor), 0u);
    EXPECT_TRUE(visitor.calls.empty());
    EXPECT_FALSE(hasErrors());
}

TEST(ListFilesTest, MatchesPatternAndSkipsDirectories) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.dat", "cc.dat"}) writeFile(dir / name, "x");
    ASSERT_EQ(mkdir((dir / "d.txt").c_str(), 0755), 0);
    struct Case {
        const char* pattern;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"*.txt", {"a.txt", "b.txt"}},
        {"?.dat", {"c.dat"}},
        {"*", {"a.txt", "b.txt", "c.dat", "cc.dat"}},
        {"*.none", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::vector<std::string> out = {"stale"};
        EXPECT_EQ(listFiles(out, dir.path(), c.pattern), c.names.size());
        std::sort(out.begin(), out.end());
        std::vector<std::string> expected;
        for (const std::string& name : c.names) expected.push_back(dir.path() + "/" + name);
        EXPECT_EQ(out, expected);
    }
    std::vector<std::string> out = {"stale"};
    EXPECT_EQ(listFiles(out, dir / "missing", "*"), 0u);
    EXPECT_TRUE(out.empty());
}

TEST(CopyFileTest, CopiesAcrossChunksIntoNewDirectories) {
    TempDir dir;
    std::string content(3 * 65536 + 1234, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 131) ^ (i >> 9));
    const std::pair<std::string, std::string> files[] = {{"big.bin", content}, {"empty.bin", ""}};
    for (const auto& [name, data] : files) {
        SCOPED_TRACE(name);
        writeFile(dir / name, data);
        const std::string target = dir.path() + "\\copies\\more\\" + name;
        ASSERT_TRUE(copyFile(dir / name, target));
        EXPECT_EQ(readFile(dir / ("copies/more/" + name)), data);
    }
    EXPECT_FALSE(copyFile(dir / "missing.bin", dir / "out.bin"));
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(2));
    EXPECT_FALSE(pathExists(dir / "out.bin"));
}

TEST(VolumeQueryTest, FreeSpaceAndClusterSize) {
    TempDir dir;
    uint64_t freeBytes = 0;
    uint32_t cluster = 0;
    ASSERT_TRUE(getFreeSpace(dir.path(), &freeBytes));
    EXPECT_GT(freeBytes, 0u);
    ASSERT_TRUE(getClusterSize(dir.path(), &cluster));
    EXPECT_GE(cluster, 512u);
    EXPECT_EQ(cluster & (cluster - 1), 0u) << cluster;

    EXPECT_FALSE(getFreeSpace(dir / "missing/deeper", &freeBytes));
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(3));
    EXPECT_FALSE(getClusterSize(dir / "missing", &cluster));
    EXPECT_EQ(errorsNewestFirst(), rawThenMarker(2));
    EXPECT_FALSE(getFreeSpace(dir.path(), nullptr));
    EXPECT_EQ(lastError(), kErrMissingArgument);
}

TEST(FileSize32Test, ReportsSizeOrRuntimeError) {
    TempDir dir;
    writeFile(dir / "f.bin", std::string(12345, 'x'));
    uint32_t size = 0;
    resetError(kSentinel);
    ASSERT_TRUE(getFileSize32(dir.path() + "\\f.bin", &size));
    EXPECT_EQ(size, 12345u);
    EXPECT_FALSE(hasErrors());
    EXPECT_FALSE(getFileSize32(dir / "missing.bin", &size));
    EXPECT_EQ(errorsNewestFirst(), (std::vector<int>{kErrRawCrtMarker, 2}));

    // A size that does not fit is refused rather than cut to 32 bits.
    ASSERT_EQ(truncate((dir / "f.bin").c_str(), (4ll << 30) + 5), 0);
    size = 7;
    EXPECT_FALSE(getFileSize32(dir / "f.bin", &size));
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(errorsNewestFirst(), (std::vector<int>{kErrRawCrtMarker, EOVERFLOW}));
}

}  // namespace
