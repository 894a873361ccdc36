// Installations through the exported functions: what a caller reads after
// tavoPatchInstallGetResponse on its own thread (result, error codes in the
// hand-over order), and what the refused or damaged patch leaves on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "MendrelWriter.h"
#include "install/InstallCodes.h"
#include "support/TempDir.h"
#include "tavoPatch.h"

namespace {

using Codes = std::vector<int>;
constexpr int kMaxCodes = 32;
constexpr auto kDeadline = std::chrono::seconds(30);

Codes callerCodes() {
    int codes[kMaxCodes] = {};
    const int n = tavoPatchGetErrorCodes(codes, kMaxCodes);
    return Codes(codes, codes + n);
}

// FHDR, the release layout, one new directory, EOF_.
std::string validPatch() {
    mendrel::MendrelWriter w;
    w.fileHeader();
    w.target(mendrel::kWin32, 1, 0);
    w.addDirectory("maps");
    w.end();
    return w.bytes();
}

class InstallExports : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = tavoPatchInitialize("game", "BOOTHASH=x");
        ASSERT_GE(handle_, 0);
        ::mkdir(installDir().c_str(), 0755);
    }
    void TearDown() override { tavoPatchFinalize(handle_); }

    std::string installDir() const { return dir_ / "game"; }
    std::string patchPath() const { return dir_ / "p.patch"; }

    // Starts, polls like the launcher, reads the response.
    int install(const std::string& target, InstallProgress* last = nullptr) {
        const int started = tavoPatchInstallStart(handle_, target.c_str(), patchPath().c_str());
        if (started != TAVOPATCH_OK) return started;
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        InstallProgress progress{};
        while (tavoPatchInstallIsBusy(handle_, &progress) == 1) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "installation still busy";
                tavoPatchInstallCancel(handle_);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (last) *last = progress;
        return tavoPatchInstallGetResponse(handle_);
    }

    int handle_ = -1;
    tavotest::TempDir dir_;
};

TEST_F(InstallExports, CompletePatchSucceedsWithFullProgress) {
    const std::string patch = validPatch();
    tavotest::writeFile(patchPath(), patch);
    InstallProgress progress{};
    ASSERT_EQ(install(installDir(), &progress), TAVOPATCH_OK) << ::testing::PrintToString(callerCodes());
    EXPECT_EQ(progress.totalSize, patch.size());
    EXPECT_EQ(progress.completeSize, progress.totalSize);
    struct stat st {};
    EXPECT_EQ(::stat((installDir() + "/maps").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(InstallExports, FailuresHandTheirCodesToTheCaller) {
    std::string flipped = validPatch();
    flipped[flipped.size() - 20] ^= 0x01;  // inside the "ADIR" name
    struct Case {
        const char* what;
        std::string patch;
        bool installDirExists;
        Codes codes;
        bool patchKept;
    };
    const Case cases[] = {
        {"damaged chunk", flipped, true, {tavo::kErrChecksumMismatch, tavo::kErrChecksumVerify}, false},
        {"empty patch file", "", true, {tavo::kErrPatchEmpty}, true},
        {"no installation folder", validPatch(), false, {tavo::kErrInstallDirectoryMissing}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tavotest::writeFile(patchPath(), c.patch);
        const std::string target = c.installDirExists ? installDir() : dir_ / "missing";
        EXPECT_EQ(install(target), TAVOPATCH_FAILED);
        EXPECT_EQ(callerCodes(), c.codes);
        EXPECT_EQ(tavotest::pathExists(patchPath()), c.patchKept);
        // The next installation starts clean: nothing of this one is replayed.
        tavotest::writeFile(patchPath(), validPatch());
        EXPECT_EQ(install(installDir()), TAVOPATCH_OK) << ::testing::PrintToString(callerCodes());
    }
}

}  // namespace
