// Cases that need the process-wide folder-layout flag in its initial (clear)
// state: each runs in a child process of its own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "InstallFixture.h"
#include "install/InstallCodes.h"
#include "install/ProcessState.h"

namespace installtest {
namespace {

using Codes = std::vector<int>;

// Runs `scenario` in a forked child with a fresh process-wide state; the
// child's assertion messages appear in the failure output.
template <typename F>
void inFreshProcess(F scenario) {
    EXPECT_EXIT(
        {
            scenario();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(FolderLayout, OldLayoutIsUsedWhileItsFilesExist) {
    inFreshProcess([] {
        InstallTree tree;
        tree.put("tvpack/0a0000.chs.win32.dat0", std::string(256, 'o'));
        tree.put("tvpack/0a/0/1/0/0a0100.win32.d.dat0", std::string(256, 'o'));
        tavotest::writeFile(tree.patch("0a0000.chs.win32.tvdb"), "db base");
        tavotest::writeFile(tree.patch("0a0100.win32.tvdb"), "db ex1");
        auto w = startPatch();
        w.addData(0x0a, 0, 0, 1, std::string(128, 'A')).addData(0x0a, 0x0100, 2, 0, std::string(128, 'B'));
        const Outcome out = tree.applyDirect(tree.save(w));
        ASSERT_TRUE(out.ok) << ::testing::PrintToString(out.codes);
        EXPECT_EQ(tree.read("tvpack/0a0000.chs.win32.dat0"), std::string(128, 'o') + std::string(128, 'A'));
        EXPECT_EQ(tree.read("tvpack/0a/0/1/0/0a0100.win32.d.dat2"), std::string(128, 'B'));
        // The database probe of the ".sdat" variant finds nothing, and still
        // the plain files of the old layout receive their databases.
        EXPECT_EQ(tree.read("tvpack/_0a0000.chs.win32.tvdb"), "db base");
        EXPECT_EQ(tree.read("tvpack/0a/0/1/0/_0a0100.win32.d.tvdb"), "db ex1");
        EXPECT_FALSE(tavo::folderLayoutFlag());
    });
}

TEST(FolderLayout, FallbackSetsTheFlagForTheRestOfTheProcess) {
    inFreshProcess([] {
        InstallTree tree;
        tree.put("tvpack/zanth/0a0000.win32.dat0", std::string(128, 'o'));
        auto first = startPatch();
        first.addData(0x0a, 0, 0, 0, std::string(128, 'A'));
        ASSERT_TRUE(tree.applyDirect(tree.save(first, "first.mendrel")).ok);
        EXPECT_TRUE(tavo::folderLayoutFlag());
        EXPECT_EQ(tree.read("tvpack/zanth/0a0000.win32.dat0"), std::string(128, 'A'));

        // An old-layout file appearing later is no longer looked at.
        tree.put("tvpack/0a0000.win32.dat0", std::string(128, 'o'));
        auto second = startPatch();
        second.addData(0x0a, 0, 0, 0, std::string(128, 'B'));
        ASSERT_TRUE(tree.applyDirect(tree.save(second, "second.mendrel")).ok);
        EXPECT_EQ(tree.read("tvpack/zanth/0a0000.win32.dat0"), std::string(128, 'B'));
        EXPECT_EQ(tree.read("tvpack/0a0000.win32.dat0"), std::string(128, 'o'));
    });
}

TEST(FolderLayout, MissingArchiveFailsAndLeavesTheFlagSet) {
    inFreshProcess([] {
        InstallTree tree;
        auto w = startPatch();
        w.addData(0x0a, 0, 0, 0, std::string(128, 'A'));
        const Outcome out = tree.applyDirect(tree.save(w));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.codes, (Codes{tavo::kErrDataFileOpen, tavo::kErrCommandA}));
        EXPECT_TRUE(tavo::folderLayoutFlag());
    });
}

TEST(FolderLayout, TargetCommandSetsTheFlag) {
    inFreshProcess([] {
        InstallTree tree;
        tree.put("tvpack/ex2/0a0200.win32.dat0", std::string(128, 'o'));
        tree.put("tvpack/0a/0/2/0/0a0200.win32.dat0", std::string(128, 'o'));
        auto w = startReleaseLayoutPatch();
        w.addData(0x0a, 0x0200, 0, 0, std::string(128, 'A'));
        ASSERT_TRUE(tree.applyDirect(tree.save(w)).ok);
        EXPECT_EQ(tree.read("tvpack/ex2/0a0200.win32.dat0"), std::string(128, 'A'));
        EXPECT_EQ(tree.read("tvpack/0a/0/2/0/0a0200.win32.dat0"), std::string(128, 'o'));
    });
}

}  // namespace
}  // namespace installtest
