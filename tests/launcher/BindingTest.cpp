// Binding the patch library at run time, and the version file through it.
#include <gtest/gtest.h>

#include <filesystem>

#include "TraceCapture.h"
#include "core/Environment.h"
#include "core/NotificationQueue.h"
#include "core/TavoPatchManager.h"
#include "support/TempDir.h"

using namespace zanth;

TEST(LibraryBinding, MissingFileFailsAndTracesThePath) {
    tavotest::TempDir dir;
    TraceCapture trace;
    NotificationQueue queue;
    TavoPatchManager manager;
    EXPECT_FALSE(manager.Initialize(&queue, dir / "libtavoPatch.so"));
    EXPECT_TRUE(trace.contains("Load Patch Dll failed. dllpath=" + (dir / "libtavoPatch.so")));
    // A manager without a binding starts nothing.
    EXPECT_FALSE(manager.StartUpdate("127.0.0.1", 80, "http", "win32", "r", dir.path(), dir.path(),
                                     kBaseVersion, 0, false));
    EXPECT_FALSE(queue.tryNext());
}

TEST(LibraryBinding, LibraryLackingOneExportIsRefused) {
    TraceCapture trace;
    LibraryBinding binding;
    EXPECT_EQ(binding.load(FAKE_LIBRARY_WITHOUT_ONE), -1);
    EXPECT_FALSE(binding.bound());
    EXPECT_EQ(binding.functions().initialize, nullptr);
    EXPECT_TRUE(trace.contains("load patch dll function error, Failed to Get tavoPatchGetVersionName Address"));

    EXPECT_EQ(binding.load(FAKE_LIBRARY_COMPLETE), 0);
    EXPECT_TRUE(binding.bound());
    EXPECT_STREQ(binding.functions().getVersion(), "fake");
}

TEST(LibraryBinding, RealLibraryBindsAllExports) {
    LibraryBinding binding;
    ASSERT_EQ(binding.load(TAVOPATCH_LIBRARY), 0);
    EXPECT_STREQ(binding.functions().getVersion(), "1.02");
    EXPECT_NE(binding.functions().getVersionName, nullptr);
}

TEST(GameVersion, ReadCreatesTheGameFolderAndFallsBackToTheBaseVersion) {
    tavotest::TempDir dir;
    ClientSettings settings;
    settings.programPath = dir / "launcher/ZANTH_Launcher";
    TavoPatchManager manager(settings);
    NotificationQueue queue;
    ASSERT_TRUE(manager.Initialize(&queue, TAVOPATCH_LIBRARY));

    // H-dash type reads from the parent of the program folder.
    EXPECT_EQ(manager.ReadGameVersion(2, true), kBaseVersion);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "game_hdash_type"));

    manager.WriteGameVersion("2016.02.01.0000.0001", 2, true);
    EXPECT_EQ(tavotest::readFile(dir / "game_hdash_type/zanthgame.ver"), "2016.02.01.0000.0001");
    EXPECT_EQ(manager.ReadGameVersion(2, true), "2016.02.01.0000.0001");
    EXPECT_EQ(manager.ReadGameVersion(0, false), kBaseVersion);  // "game" is another folder
    EXPECT_TRUE(std::filesystem::is_directory(dir / "game"));
}
