// The multipart framing, the patch-list line fields and the small pure
// helpers of the version check.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "versioncheck/HourStamp.h"
#include "versioncheck/ModuleKind.h"
#include "versioncheck/MultipartPatchList.h"
#include "versioncheck/PatchListLine.h"
#include "versioncheck/VersionCheckUrl.h"

namespace {

using tavo::PatchListEntry;

const std::string kHash1 = "0123456789abcdef0123456789abcdef01234567";
const std::string kHash2 = "89ABCDEF0123456789ABCDEF0123456789ABCDEF";

PatchListEntry entry(std::string url, uint64_t patchSize, uint64_t installSize, uint64_t extra1,
                     uint64_t extra2, std::string version, std::string extraText,
                     uint64_t blockSize, std::string hashes) {
    PatchListEntry e;
    e.url = std::move(url);
    e.patchSize = patchSize;
    e.installFileSize = installSize;
    e.extra1 = extra1;
    e.extra2 = extra2;
    e.version = std::move(version);
    e.extraText = std::move(extraText);
    e.hashBlockSize = blockSize;
    e.hashes = std::move(hashes);
    return e;
}

PatchListEntry urlOnly(std::string url) { return entry(std::move(url), 0, 0, 0, 0, "", "", 0, ""); }

void expectSame(const PatchListEntry& got, const PatchListEntry& want, const std::string& where) {
    EXPECT_EQ(got.url, want.url) << where;
    EXPECT_EQ(got.patchSize, want.patchSize) << where;
    EXPECT_EQ(got.installFileSize, want.installFileSize) << where;
    EXPECT_EQ(got.extra1, want.extra1) << where;
    EXPECT_EQ(got.extra2, want.extra2) << where;
    EXPECT_EQ(got.version, want.version) << where;
    EXPECT_EQ(got.extraText, want.extraText) << where;
    EXPECT_EQ(got.hashBlockSize, want.hashBlockSize) << where;
    EXPECT_EQ(got.hashes, want.hashes) << where;
}

const std::string kLine1 = "1000\t2000\t3\t4\t1.1\tnote\t512\t" + kHash1 + "," + kHash2 + "\thttp://p/1.mdl";
const PatchListEntry kEntry1 =
    entry("http://p/1.mdl", 1000, 2000, 3, 4, "1.1", "note", 512, kHash1 + "," + kHash2);
const std::string kLine2 = "7\t8\t0\t0\t1.2\t\t4096\t" + kHash1 + "\thttp://p/2.mdl";
const PatchListEntry kEntry2 = entry("http://p/2.mdl", 7, 8, 0, 0, "1.2", "", 4096, kHash1);

const std::string kHead = "--XYZ\r\nContent-Type: text/plain\r\n\r\n";
const std::string kTail = "--XYZ--\r\n";

struct ParseCase {
    const char* name;
    std::string body;
    bool parses;
    std::vector<PatchListEntry> entries;
};

std::vector<ParseCase> parseCases() {
    return {
        {"two CRLF lines in order", kHead + kLine1 + "\r\n" + kLine2 + "\r\n" + kTail, true, {kEntry1, kEntry2}},
        {"LF lines read like CRLF lines", kHead + kLine1 + "\n" + kLine2 + "\n" + kTail, true, {kEntry1, kEntry2}},
        {"last line without line end", kHead + kLine1 + "--XYZ--", true, {kEntry1}},
        {"empty and CR-only lines are skipped", kHead + "\r\n\n" + kLine1 + "\r\n\r\n\r\n" + kTail, true, {kEntry1}},
        {"no content at all", kHead + kTail, true, {}},
        {"a line without TAB is only an address", kHead + "http://p/only\r\n" + kTail, true, {urlOnly("http://p/only")}},
        {"nine fields with empty hashes", kHead + "1\t2\t3\t4\tv\tx\t9\t\thttp://p/n\r\n" + kTail, true,
         {entry("http://p/n", 1, 2, 3, 4, "v", "x", 9, "")}},
        {"numbers read like a stream", kHead + "12abc\tabc\t 5\t+6\tv\tx\t-3\th\tu\r\n" + kTail, true,
         {entry("u", 12, 0, 5, 6, "v", "x", 0, "h")}},
        {"fields between 9 and the last are ignored", kHead + "1\t2\t3\t4\tv\tx\t9\th\tskip\tskip\tu\r\n" + kTail,
         true, {entry("u", 1, 2, 3, 4, "v", "x", 9, "h")}},
        {"three fields fill the first two and the address", kHead + "10\t20\tu\r\n" + kTail, true,
         {entry("u", 10, 20, 0, 0, "", "", 0, "")}},
        {"trailing TAB leaves the address empty", kHead + "10\t\r\n" + kTail, true, {entry("", 10, 0, 0, 0, "", "", 0, "")}},
        {"repeated opening delimiters are skipped", "--XYZ\r\n" + kHead + kLine1 + "\r\n" + kTail, true, {kEntry1}},
        {"only the first part counts", kHead + kLine1 + "\r\n--XYZ\r\nA: b\r\n\r\n" + kLine2 + "\r\n" + kTail, true,
         {kEntry1}},
        {"a delimiter inside a longer word still delimits", kHead + kLine1 + "\r\n--XYZW\r\n", true, {kEntry1}},
        {"no delimiter", "Content-Type: text/plain\r\n\r\n" + kLine1 + "\r\n", false, {}},
        {"no closing delimiter", kHead + kLine1 + "\r\n", false, {}},
        {"part without blank line after its headers", "--XYZ\r\nContent-Type: text/plain\r\n" + kLine1 + "\r\n" + kTail,
         false, {}},
        {"part headers ended by LF only", "--XYZ\nContent-Type: text/plain\n\n" + kLine1 + "\n" + kTail, false, {}},
        {"delimiter at the very end", "--XYZ", false, {}},
        {"delimiter and one byte", "--XYZ\r", false, {}},
        {"empty body", "", false, {}},
    };
}

TEST(MultipartPatchList, Cases) {
    for (const ParseCase& c : parseCases()) {
        std::vector<PatchListEntry> out;
        ASSERT_EQ(tavo::parseMultipartPatchList(c.body, "XYZ", out), c.parses) << c.name;
        ASSERT_EQ(out.size(), c.entries.size()) << c.name;
        for (std::size_t i = 0; i < out.size(); ++i) expectSame(out[i], c.entries[i], c.name);
    }
}

TEST(MultipartPatchList, AppendsToTheListAndLeavesItOnFailure) {
    std::vector<PatchListEntry> out{kEntry2};
    ASSERT_TRUE(tavo::parseMultipartPatchList(kHead + kLine1 + "\r\n" + kTail, "XYZ", out));
    ASSERT_EQ(out.size(), 2u);
    expectSame(out[0], kEntry2, "kept");
    expectSame(out[1], kEntry1, "appended");
    EXPECT_FALSE(tavo::parseMultipartPatchList(kHead + kLine1 + "\r\n", "XYZ", out));
    EXPECT_EQ(out.size(), 2u);
}

TEST(PatchListLine, DecimalReading) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    const struct {
        const char* text;
        uint64_t value;
    } cases[] = {
        {"0", 0},        {"42", 42},   {"12abc", 12},  {"abc", 0},   {"", 0},         {"  \t9", 9},
        {"+8", 8},       {"-3", 0},    {"+", 0},       {"1 2", 1},   {"007", 7},
        {"18446744073709551615", kMax}, {"18446744073709551616", kMax}, {"99999999999999999999999", kMax},
    };
    for (const auto& c : cases) EXPECT_EQ(tavo::leadingDecimalU64(c.text), c.value) << c.text;
}

TEST(VersionCheckHelpers, HourStampModuleKindAndAddress) {
    EXPECT_EQ(tavo::utcHourStamp(1423458600), "2015-02-09-05");  // 05:10 UTC
    EXPECT_EQ(tavo::utcHourStamp(1451606399), "2015-12-31-23");

    const struct {
        const char* name;
        int kind;
    } modules[] = {{"Mendrel", 0}, {"RTPatch", 1}, {"VcdPatch", 2}, {"mendrel", -1}, {"Mendrel ", -1}, {"", -1}};
    for (const auto& m : modules) EXPECT_EQ(tavo::moduleKindFromName(m.name), m.kind) << m.name;

    tavo::VersionCheckParams p;
    p.scheme = "https";
    p.server = "vc.example";
    p.port = 8443;
    p.platform = "win32";
    p.repository = "game";
    p.currentVersion = "1.0";
    EXPECT_EQ(tavo::versionCheckBaseUrl(p), "https://vc.example:8443/http/win32/game/1.0/");
}

}  // namespace
