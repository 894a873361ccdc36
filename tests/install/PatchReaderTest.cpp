// Whole patches through the "PatchInstaller" worker: damaged files and the
// codes the caller reads after the response, progress figures, cancel, and
// the refusal of a second installation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "InstallFixture.h"
#include "install/InstallCodes.h"
#include "install/MendrelApplier.h"
#include "install/PatchInstaller.h"
#include "platform/ErrorStack.h"

namespace installtest {
namespace {

using mendrel::commandRecord;
using Codes = std::vector<int>;

const std::string kBaseData0 = "tvpack/zanth/0a0000.win32.dat0";

std::string xFields() {
    std::string f;
    mendrel::putBe64(f, 7);
    return f;
}

// FHDR, T, one "A" command on data file 0; the caller ends it.
mendrel::MendrelWriter basePatch() {
    auto w = startReleaseLayoutPatch();
    w.addData(0x0a, 0, 0, 0, patternBytes(256, 20));
    return w;
}

std::string bytesOf(mendrel::MendrelWriter w) { return w.bytes(); }

struct DamageCase {
    const char* name;
    std::string patch;
    Codes codes;
    bool discarded;
};

std::vector<DamageCase> damageCases() {
    const std::string complete = bytesOf(basePatch().end());
    const std::string noEnd = bytesOf(basePatch());
    std::string flipped = noEnd;
    flipped[flipped.size() - 40] ^= 0x01;  // inside the "A" data
    std::string twoExtra = noEnd;
    twoExtra += std::string("\0\0\0\x10TV", 6);  // a chunk cut inside its tag
    auto longFhdr = mendrel::MendrelWriter();
    longFhdr.fileHeader(1, 245);
    auto version4 = mendrel::MendrelWriter();
    version4.fileHeader(4);
    auto entry = basePatch();
    entry.chunk("ETRY", "x");
    auto unknown = basePatch();
    unknown.command(commandRecord('Z', 0, 0, xFields(), {}));
    auto longBody = basePatch();  // body 4 bytes longer than innerSize
    longBody.command(commandRecord('X', 0, 0, xFields(), "tail", -4));
    auto longSizeField = basePatch();  // only the size field is 4 larger
    longSizeField.command(commandRecord('X', 0, 0, xFields(), {}), 4);
    auto lateApply = basePatch();
    lateApply.chunk("APLY", std::string(16, '\0'));
    return {
        {"truncated body", noEnd.substr(0, noEnd.size() - 10), {tavo::kErrShortRead, tavo::kErrBodyRead}, true},
        {"truncated tag", twoExtra, {tavo::kErrShortRead, tavo::kErrTagRead, tavo::kErrChunkHeader}, false},
        {"flipped byte", flipped, {tavo::kErrChecksumMismatch, tavo::kErrChecksumVerify}, true},
        {"FHDR of 245 bytes", longFhdr.bytes(), {tavo::kErrFileHeaderSize}, false},
        {"FHDR version 4", version4.bytes(), {tavo::kErrVersion}, false},
        {"EOF_ followed by a byte", complete + "!", {tavo::kErrEofNotAtEnd}, true},
        {"ETRY chunk", entry.bytes(), {tavo::kErrEntryChunk}, false},
        {"unknown command letter", unknown.bytes(), {tavo::kErrUnknownCommand}, false},
        {"body longer than innerSize", longBody.bytes(), {tavo::kErrChecksumMismatch, tavo::kErrChecksumVerify}, true},
        {"size field larger than innerSize", longSizeField.bytes(), {tavo::kErrInnerSizeMismatch}, false},
        {"late APLY longer than 12 bytes", lateApply.bytes(), {tavo::kErrApplySize}, false},
        {"not a Mendrel file", "RTPatch file of another kind", {tavo::kErrSignatureMismatch}, true},
    };
}

TEST(DamagedPatch, CodesAndDiscard) {
    for (const DamageCase& c : damageCases()) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        tree.put(kBaseData0, std::string(512, 'o'));
        const std::string path = tree.patch("damaged.mendrel");
        tavotest::writeFile(path, c.patch);
        tavotest::writeFile(path + ".info", "resume");
        const Outcome out = tree.installThreaded(path);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.codes, c.codes);
        EXPECT_EQ(tavotest::pathExists(path), !c.discarded);
        EXPECT_EQ(tavotest::pathExists(path + ".info"), !c.discarded);
    }
}

TEST(DamagedPatch, ChecksumFailureLeavesArchiveUntouched) {
    InstallTree tree;
    tree.put(kBaseData0, std::string(512, 'o'));
    std::string flipped = bytesOf(basePatch().end());
    flipped[flipped.size() - 60] ^= 0x01;
    tavotest::writeFile(tree.patch("p.mendrel"), flipped);
    EXPECT_FALSE(tree.installThreaded(tree.patch("p.mendrel")).ok);
    EXPECT_EQ(tree.read(kBaseData0), std::string(512, 'o'));
}

TEST(PatchShapes, AcceptedVariants) {
    auto headerOnly = startPatch();
    auto unknownOption = startPatch();  // skipped whole, checksum verified
    unknownOption.apfs(1, 2).applyOption(7, 1).applyOption(1, 1).applyOption(2, 0);
    unknownOption.target(0, 1, 0).addData(0x0a, 0, 0, 0, patternBytes(256, 20)).end();
    auto lateApply = basePatch();  // dropped without its checksum being checked
    lateApply.chunk("APLY", std::string(12, '\0'));
    std::string badChecksum = lateApply.bytes();
    badChecksum[badChecksum.size() - 1] ^= 0x55;
    auto withInfoCommands = basePatch();
    withInfoCommands.commandI().commandX().end("trailing bytes of EOF_");
    struct Case {
        const char* name;
        std::string patch;
        bool writesData;
    } cases[] = {
        {"signature and FHDR only", headerOnly.bytes(), false},
        {"unknown APLY option", unknownOption.bytes(), true},
        {"late APLY", badChecksum, true},
        {"I, X and an EOF_ body", withInfoCommands.bytes(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        tree.put(kBaseData0, std::string(512, 'o'));
        tavotest::writeFile(tree.patch("p.mendrel"), c.patch);
        const Outcome out = tree.installThreaded(tree.patch("p.mendrel"));
        EXPECT_TRUE(out.ok) << ::testing::PrintToString(out.codes);
        EXPECT_TRUE(out.codes.empty());
        const std::string expected =
            c.writesData ? patternBytes(256, 20) + std::string(256, 'o') : std::string(512, 'o');
        EXPECT_EQ(tree.read(kBaseData0), expected);
    }
}

TEST(InstallerChecks, RefusedBeforeReading) {
    InstallTree tree;
    tavotest::writeFile(tree.patch("empty.mendrel"), "");
    tree.put("tvpack/_0a0000.win32.tvdb", "installed db");
    struct Case {
        const char* name;
        std::string patch;
        std::string installDir;
        Codes codes;
    } cases[] = {
        {"missing patch", tree.patch("none.mendrel"), tree.installDir(), {tavo::kErrPatchMissing}},
        {"missing install folder", tree.patch("empty.mendrel"), tree.game("nowhere"),
         {tavo::kErrInstallDirectoryMissing}},
        {"empty patch", tree.patch("empty.mendrel"), tree.installDir(), {tavo::kErrPatchEmpty}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tavo::PatchInstaller installer;
        ASSERT_TRUE(installer.start(c.patch, c.installDir));
        while (installer.isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(installer.getResponse());
        Codes codes;
        tavo::copyErrors(codes);
        EXPECT_EQ(codes, c.codes);
    }
    // No refresh ran: the top-level database file is still there.
    EXPECT_TRUE(tree.exists("tvpack/_0a0000.win32.tvdb"));
}

TEST(InstallerProgress, TotalsIncludeExtraWork) {
    InstallTree tree;
    tree.put(kBaseData0, std::string(2048, 'o'));
    auto w = startReleaseLayoutPatch(mendrel::kWin32, 5 * 128);
    w.deleteData(0x0a, 0, 0, 0, 3).addData(0x0a, 0, 0, 8, patternBytes(128, 21)).deleteData(0x0a, 0, 0, 4, 2).end();
    const std::string path = tree.save(w);
    const uint64_t fileSize = w.bytes().size();

    tavo::PatchInstaller installer;
    InstallProgress before{99, 99};
    ASSERT_TRUE(installer.start(path, tree.installDir()));
    while (installer.isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    InstallProgress after{};
    installer.progress(after);
    EXPECT_TRUE(installer.getResponse());
    EXPECT_EQ(after.totalSize, fileSize + 5 * 128);
    EXPECT_EQ(after.completeSize, after.totalSize);

    // A restart begins again from zero figures.
    ASSERT_TRUE(installer.start(tree.patch("none.mendrel"), tree.installDir()));
    installer.progress(before);
    EXPECT_EQ(before.completeSize, 0u);
    EXPECT_EQ(before.totalSize, 0u);
    while (installer.isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The cancel word goes from 1 to 2 only between chunks: the command that
// raised it completes, the next one does not run, the refresh still runs.
TEST(InstallerCancel, TakesEffectAtNextChunk) {
    InstallTree tree;
    tree.put(kBaseData0, std::string(512, 'o'));
    tavotest::writeFile(tree.patch("0a0000.win32.tvdb"), "database");
    auto w = startReleaseLayoutPatch();
    w.addData(0x0a, 0, 0, 0, std::string(128, 'A')).addData(0x0a, 0, 0, 1, std::string(128, 'B')).end();
    const std::string path = tree.save(w);

    std::atomic<int> cancelWord{0};
    tavo::MendrelApplier applier(path, tree.installDir());
    auto add = applier.reader().handlers.onAddData;
    applier.reader().handlers.onAddData = [&](const tavo::CommandRecord& r, uint64_t* extra) {
        const int result = add(r, extra);
        int expected = 0;
        cancelWord.compare_exchange_strong(expected, 1);
        return result;
    };
    EXPECT_FALSE(applier.apply(&cancelWord));
    EXPECT_EQ(cancelWord.load(), 2);
    EXPECT_FALSE(tavo::hasErrors());
    EXPECT_EQ(tree.read(kBaseData0), std::string(128, 'A') + std::string(384, 'o'));
    EXPECT_EQ(tree.read("tvpack/zanth/_0a0000.win32.tvdb"), "database");
    EXPECT_TRUE(tavotest::pathExists(path));
}

TEST(InstallerConcurrency, SecondInstallationIsRefused) {
    InstallTree tree;
    tree.put(kBaseData0, "");
    auto w = startReleaseLayoutPatch();
    const std::string piece = patternBytes(128 * 1024, 22);
    for (uint32_t i = 0; i < 96; ++i) w.addData(0x0a, 0, 0, i * 1024, piece);
    w.end();
    const std::string path = tree.save(w);

    tavo::PatchInstaller first;
    tavo::PatchInstaller other;  // as in another session of the process
    ASSERT_TRUE(first.start(path, tree.installDir()));
    for (tavo::PatchInstaller* installer : {&first, &other}) {
        EXPECT_FALSE(installer->start(path, tree.installDir()));
        EXPECT_EQ(tavo::lastError(), tavo::kErrAlreadyRunning);
    }
    EXPECT_FALSE(other.isBusy());
    while (first.isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(first.getResponse());
    std::string expected;
    for (int i = 0; i < 96; ++i) expected += piece;
    EXPECT_EQ(tree.read(kBaseData0), expected);

    // Once the first has finished, the other may run.
    ASSERT_TRUE(other.start(path, tree.installDir()));
    while (other.isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(other.getResponse());
}

}  // namespace
}  // namespace installtest
