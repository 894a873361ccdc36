// The archive database refresh in the release-folder layout (selected by the
// patch's "T" command).
#include <gtest/gtest.h>

#include "InstallFixture.h"
#include "install/InstallCodes.h"
#include "platform/FileSystem.h"

namespace installtest {
namespace {

TEST(DatabaseRefresh, RemovesTopLevelAndCopiesToArchiveFolders) {
    InstallTree tree;
    tree.put("tvpack/zanth/0a0000.win32.dat0", "a");
    tree.put("tvpack/ex1/0b0100.ko.win32.dat0", "b");
    tree.put("tvpack/zanth/0c0000.win32.dat0.sdat", "c");
    tree.put("tvpack/zanth/_0a0000.win32.tvdb", "stale");
    tree.put("top.tvdb", "top level");
    tree.put("tvpack/kept.tvdb", "not top level");
    for (const char* name : {"0A0000.win32.tvdb", "_0a0000.win32.tvdb", "0b0100.ko.win32.tvdb",
                             "0c_00_00.win32.tvdb", "0a00.win32.tvdb", "zz0000.win32.tvdb",
                             "0d0000.win32.tvdb"}) {
        tavotest::writeFile(tree.patch(name), name);
    }
    const Outcome out = tree.applyDirect(tree.save(startReleaseLayoutPatch()));
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(out.codes);

    // Both spellings of (0x0a, 0) go to one path; the one listed later wins.
    std::vector<std::string> listed;
    tavo::listFiles(listed, tree.patchDir(), "*.tvdb");
    std::string winner;
    for (const std::string& path : listed) {
        const std::string name = tavo::fileNameOf(path);
        if (name == "0A0000.win32.tvdb" || name == "_0a0000.win32.tvdb") winner = name;
    }
    EXPECT_EQ(tree.read("tvpack/zanth/_0a0000.win32.tvdb"), winner);
    EXPECT_EQ(tree.read("tvpack/ex1/_0b0100.ko.win32.tvdb"), "0b0100.ko.win32.tvdb");
    EXPECT_EQ(tree.read("tvpack/zanth/_0c0000.win32.tvdb"), "0c_00_00.win32.tvdb");
    EXPECT_FALSE(tree.exists("top.tvdb"));
    EXPECT_TRUE(tree.exists("tvpack/kept.tvdb"));
    EXPECT_FALSE(tree.exists("tvpack/zanth/_0d0000.win32.tvdb"));
    // Copied, not moved.
    EXPECT_TRUE(tavotest::pathExists(tree.patch("0b0100.ko.win32.tvdb")));
}

TEST(DatabaseRefresh, FailingCopyAddsItsCodeAboveTheReaderOutcome) {
    InstallTree tree;
    tree.put("tvpack/zanth/0a0000.win32.dat0", "a");
    tree.put("tvpack/zanth/_0a0000.win32.tvdb/occupied", "a folder where the file should go");
    tavotest::writeFile(tree.patch("0a0000.win32.tvdb"), "db");
    const Outcome out = tree.applyDirect(tree.save(startReleaseLayoutPatch()));
    EXPECT_FALSE(out.ok);
    ASSERT_FALSE(out.codes.empty());
    EXPECT_EQ(out.codes.back(), tavo::kErrDatabaseRefresh);
}

}  // namespace
}  // namespace installtest
