// Argument checks of the exported functions, in the order the callers rely on:
// malformed texts, missing records, unknown handles, operations never started.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "support/TempDir.h"
#include "tavoPatch.h"

namespace {

constexpr int kUnknownHandles[] = {-1, 100, 7, 1 << 30};
const char kBadUtf8[] = "dir\xff";

class ArgumentCheck : public ::testing::Test {
protected:
    void SetUp() override { handle_ = tavoPatchInitialize("game", "BOOTHASH=x"); ASSERT_GE(handle_, 0); }
    void TearDown() override { tavoPatchFinalize(handle_); }
    int handle_ = -1;
    tavotest::TempDir dir_;
};

TEST_F(ArgumentCheck, UnknownHandlesAreRefusedBeforeTexts) {
    for (int h : kUnknownHandles) {
        EXPECT_EQ(tavoPatchVersionCheckStart(h, kBadUtf8, 80, "http", "win32", "game", "1.0"), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchVersionCheckIsBusy(h), 0);
        EXPECT_EQ(tavoPatchVersionCheckCancel(h), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchVersionCheckGetResponse(h), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchGetNumOfPatch(h), 0);
        PatchElement element{};
        EXPECT_EQ(tavoPatchGetPatchElement(h, &element, 0), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchDownloadCancel(h), TAVOPATCH_FAILED);
        char path[16];
        EXPECT_EQ(tavoPatchDownloadGetResponse(h, path, sizeof path), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchInstallStart(h, kBadUtf8, kBadUtf8), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchInstallCancel(h), TAVOPATCH_FAILED);
        EXPECT_EQ(tavoPatchInstallGetResponse(h), TAVOPATCH_FAILED);

        DownloadProgress progress{1, 2, 3};
        EXPECT_EQ(tavoPatchDownloadIsBusy(h, &progress), 0);
        EXPECT_EQ(progress.already, 1u);  // untouched
        InstallProgress install{4, 5};
        EXPECT_EQ(tavoPatchInstallIsBusy(h, &install), 0);
        EXPECT_EQ(install.completeSize, 4u);
    }
}

TEST_F(ArgumentCheck, MalformedTextsOnAKnownHandle) {
    const char* good = "ok";
    for (int bad = 0; bad < 5; ++bad) {
        const char* t[5] = {good, good, good, good, good};
        t[bad] = kBadUtf8;
        EXPECT_EQ(tavoPatchVersionCheckStart(handle_, t[0], 80, t[1], t[2], t[3], t[4]), TAVOPATCH_BAD_UTF8) << bad;
        t[bad] = nullptr;
        EXPECT_EQ(tavoPatchVersionCheckStart(handle_, t[0], 80, t[1], t[2], t[3], t[4]), TAVOPATCH_BAD_UTF8) << bad;
    }
    EXPECT_EQ(tavoPatchInstallStart(handle_, kBadUtf8, "p"), TAVOPATCH_BAD_UTF8);
    EXPECT_EQ(tavoPatchInstallStart(handle_, dir_.path().c_str(), nullptr), TAVOPATCH_BAD_UTF8);
}

TEST_F(ArgumentCheck, DownloadStartChecksDirectoryBeforeHandleAndRecord) {
    PatchElement element{};
    const std::string file = dir_ / "plain-file";
    tavotest::writeFile(file, "x");
    // A malformed directory text comes first, even on an unknown handle.
    EXPECT_EQ(tavoPatchDownloadStart(-1, nullptr, kBadUtf8), TAVOPATCH_BAD_UTF8);
    EXPECT_EQ(tavoPatchDownloadStart(-1, nullptr, nullptr), TAVOPATCH_BAD_UTF8);
    EXPECT_EQ(tavoPatchDownloadStart(-1, nullptr, file.c_str()), TAVOPATCH_BAD_DOWNLOAD_DIR);
    EXPECT_EQ(tavoPatchDownloadStart(-1, nullptr, (dir_ / "missing").c_str()), TAVOPATCH_BAD_DOWNLOAD_DIR);
    EXPECT_EQ(tavoPatchDownloadStart(-1, &element, dir_.path().c_str()), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchDownloadStart(handle_, nullptr, dir_.path().c_str()), TAVOPATCH_FAILED);
}

TEST_F(ArgumentCheck, OperationsNeverStartedChangeNothing) {
    EXPECT_EQ(tavoPatchVersionCheckIsBusy(handle_), 0);
    EXPECT_EQ(tavoPatchVersionCheckCancel(handle_), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchVersionCheckGetResponse(handle_), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchGetNumOfPatch(handle_), 0);
    DownloadProgress progress{1, 2, 3};
    EXPECT_EQ(tavoPatchDownloadIsBusy(handle_, &progress), 0);
    EXPECT_EQ(tavoPatchDownloadIsBusy(handle_, nullptr), 0);
    EXPECT_EQ(progress.size, 2u);
    EXPECT_EQ(tavoPatchDownloadCancel(handle_), TAVOPATCH_FAILED);
    char path[8] = {};
    EXPECT_EQ(tavoPatchDownloadGetResponse(handle_, path, sizeof path), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchInstallCancel(handle_), 0);
}

TEST_F(ArgumentCheck, PatchElementIndexAndRecord) {
    PatchElement element;
    std::memset(&element, 0x5a, sizeof element);
    for (int index : {-1, 0, 1}) EXPECT_EQ(tavoPatchGetPatchElement(handle_, &element, index), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchGetPatchElement(handle_, nullptr, 0), TAVOPATCH_FAILED);
    EXPECT_EQ(static_cast<unsigned char>(element.url[0]), 0x5a);  // untouched on failure
}

TEST(ErrorCodes, ReadBackNewestFirstWithinCapacity) {
    tavotest::TempDir dir;
    // The version file's name taken by a directory: the write fails with an
    // operating-system error (raw code beneath 19900).
    ASSERT_EQ(mkdir((dir / "zanthgame.ver").c_str(), 0755), 0);
    ASSERT_EQ(tavoPatchSetVersionName(dir.path().c_str(), "game", "1"), TAVOPATCH_FAILED);

    int codes[4] = {-7, -7, -7, -7};
    EXPECT_EQ(tavoPatchGetErrorCodes(codes, 0), 0);
    EXPECT_EQ(tavoPatchGetErrorCodes(nullptr, 20), 0);
    EXPECT_EQ(codes[0], -7);

    ASSERT_EQ(tavoPatchGetErrorCodes(codes, 1), 1);
    EXPECT_EQ(codes[0], 19900);
    EXPECT_EQ(codes[1], -7);

    ASSERT_EQ(tavoPatchGetErrorCodes(codes, 4), 2);
    EXPECT_EQ(codes[0], 19900);
    EXPECT_GT(codes[1], 0);  // the operating-system error number
    EXPECT_EQ(codes[2], -7);
    // Reading leaves the stack as it was.
    EXPECT_EQ(tavoPatchGetErrorCodes(codes, 4), 2);
}

}  // namespace
