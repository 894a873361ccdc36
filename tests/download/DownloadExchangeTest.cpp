// Patch downloads end to end through the exported functions: a token server
// and a file server on a loopback address of their own at port 80, real
// files in a temporary download directory.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NginxServer.h"
#include "download/DownloadCodes.h"
#include "download/PatchInfoRecord.h"
#include "interface/PatchSession.h"
#include "interface/SessionTable.h"
#include "platform/Sha1.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempDir.h"
#include "tavoPatch.h"

namespace {

using tavotest::LoopbackHttpServer;
using tavotest::ReceivedRequest;
using tavotest::ServerConnection;

constexpr uint64_t kBlock = 1000000;
constexpr int kMaxCodes = 20;
constexpr auto kDeadline = std::chrono::seconds(30);
const std::string kFilePath = "/files/a/seg/D2015.patch";

std::string patternBytes(std::size_t size) {
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

std::string hashText(const std::string& content, uint64_t block) {
    std::string out;
    for (uint64_t at = 0; at < content.size(); at += block) {
        if (!out.empty()) out += ",";
        out += tavo::Sha1::toHex(tavo::Sha1::of(content.data() + at, std::min<uint64_t>(block, content.size() - at)));
    }
    return out;
}

std::vector<int> errorCodes() {
    int codes[kMaxCodes] = {};
    const int n = tavoPatchGetErrorCodes(codes, kMaxCodes);
    return std::vector<int>(codes, codes + n);
}

bool hasCode(int code) {
    for (int c : errorCodes())
        if (c == code) return true;
    return false;
}

// One server per test address: "/gen_token" answers with the file's address,
// every other GET is served from `content` (Range honoured unless told not to).
class DownloadExchange : public ::testing::Test {
protected:
    void SetUp() override {
        content_ = patternBytes(2500000);
    }
    void TearDown() override {
        if (handle_ >= 0) {
            EXPECT_EQ(tavoPatchFinalize(handle_), 0);
        }
        server_.reset();
    }

    void serve(const char* address) {
        server_ = std::make_unique<LoopbackHttpServer>(
            [this](const ReceivedRequest& r, ServerConnection& c) { answer(r, c); },
            LoopbackHttpServer::Tls::Off, address, 80);
        handle_ = tavoPatchInitialize("game", "file/1/0a");
        ASSERT_GE(handle_, 0);
        tavo::KindState& state = tavo::findSession(handle_)->current();
        state.versionCheck.server = address;
        state.results.uniqueId = "u-42";
    }

    void answer(const ReceivedRequest& r, ServerConnection& c) {
        if (r.target == "/gen_token") {
            if (tokenStatus_ != 200) return c.respond(tokenStatus_, "Error", {}, "");
            return c.respond(200, "OK", {}, tokenAnswer_.empty() ? server_->url(kFilePath) + "\r\n" : tokenAnswer_);
        }
        std::string body = content_;
        if (corruptOnce_ && !corrupted_) {
            corrupted_ = true;
            body[2 * kBlock + 10] ^= 0x55;  // third block
        }
        if (ignoreRange_) return c.respond(200, "OK", {}, body);
        if (dropAt_ != 0) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
            c.send(body.substr(0, dropAt_));
            return c.drop();
        }
        if (holdBody_) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
            c.send(body.substr(0, 100000));
            return c.hold();
        }
        c.serveFile(r, body);
    }

    PatchElement element(uint64_t block = kBlock) {
        PatchElement e;
        std::memset(&e, 0, sizeof e);
        e.patchSize = content_.size();
        e.hashBlockSize = block;
        std::strcpy(e.url, "http://origin/x/seg/D2015.patch");
        const std::string hashes = hashText(content_, block);
        std::strncpy(e.hashes, hashes.c_str(), sizeof e.hashes - 1);
        return e;
    }
    int start(const PatchElement& e) { return tavoPatchDownloadStart(handle_, &e, dir_.path().c_str()); }
    // Polls like the launcher (faster), then reads the response.
    int finish(std::string* path = nullptr) {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        DownloadProgress progress{};
        while (tavoPatchDownloadIsBusy(handle_, &progress) == 1) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "download still busy";
                tavoPatchDownloadCancel(handle_);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        lastProgress_ = progress;
        char buffer[1024] = {};
        const int rc = tavoPatchDownloadGetResponse(handle_, buffer, sizeof buffer);
        if (path) *path = buffer;
        return rc;
    }
    int run(const PatchElement& e, std::string* path = nullptr) {
        const int started = start(e);
        return started == 0 ? finish(path) : started;
    }
    std::string patchPath() const { return dir_ / "zanthpatch/seg/patch/D2015.patch"; }
    tavo::PatchInfoRecord info() const {
        const std::string bytes = tavotest::readFile(patchPath() + ".info");
        EXPECT_EQ(bytes.size(), tavo::kInfoRecordSize);
        tavo::PatchInfoRecord::Bytes raw{};
        std::memcpy(raw.data(), bytes.data(), std::min(bytes.size(), raw.size()));
        return tavo::PatchInfoRecord::fromBytes(raw);
    }
    void writeInfo(const tavo::PatchInfoRecord& r) {
        const auto bytes = r.toBytes();
        tavotest::writeFile(patchPath() + ".info", std::string(bytes.begin(), bytes.end()));
    }
    tavo::PatchInfoRecord recordFor(const PatchElement& e, uint64_t verified) {
        tavo::PatchInfoRecord r;
        r.enabled = 1;
        r.hashBlockSize = e.hashBlockSize;
        r.patchSize = e.patchSize;
        r.verifiedBlocks = verified;
        r.saveTime = static_cast<uint64_t>(std::time(nullptr));
        const std::string hashes = e.hashes;
        for (std::size_t i = 0; i * 41 < hashes.size(); ++i)
            r.hashes[i] = tavo::Sha1::of(content_.data() + i * e.hashBlockSize,
                                         std::min<uint64_t>(e.hashBlockSize, content_.size() - i * e.hashBlockSize));
        r.hashCount = (hashes.size() + 1) / 41;
        return r;
    }
    std::vector<ReceivedRequest> fileRequests() const {
        std::vector<ReceivedRequest> out;
        for (const ReceivedRequest& r : server_->requests())
            if (r.target == kFilePath) out.push_back(r);
        return out;
    }

    tavotest::TempDir dir_;
    std::unique_ptr<LoopbackHttpServer> server_;
    int handle_ = -1;
    std::string content_;
    int tokenStatus_ = 200;
    std::string tokenAnswer_;
    bool corruptOnce_ = false;
    bool corrupted_ = false;
    bool ignoreRange_ = false;
    bool holdBody_ = false;
    std::size_t dropAt_ = 0;
    DownloadProgress lastProgress_{};
};

TEST_F(DownloadExchange, FreshDownloadVerifiesAndWritesTheInfoFile) {
    serve("127.0.0.2");
    std::string path;
    ASSERT_EQ(run(element(), &path), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_EQ(path, patchPath());
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);

    const std::vector<ReceivedRequest> all = server_->requests();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].method, "POST");
    EXPECT_EQ(all[0].target, "/gen_token");
    EXPECT_EQ(all[0].header("X-Patch-Unique-Id"), "u-42");
    EXPECT_EQ(all[0].body, "http://origin/x/seg/D2015.patch");
    EXPECT_EQ(all[1].method, "GET");
    EXPECT_EQ(all[1].header("X-Patch-Unique-Id"), "u-42");
    EXPECT_FALSE(all[1].hasHeader("Range"));

    const tavo::PatchInfoRecord r = info();
    EXPECT_EQ(r.enabled, 1u);
    EXPECT_EQ(r.recordSize, 5200u);
    EXPECT_EQ(r.verifiedBlocks, 3u);
    EXPECT_EQ(r.hashCount, 3u);
    EXPECT_EQ(r.patchSize, content_.size());
    EXPECT_EQ(r.lastError, 0u);
    EXPECT_EQ(r.resumeCount, 0u);
    EXPECT_LE(static_cast<uint64_t>(std::time(nullptr)) - r.saveTime, 60u);
    EXPECT_EQ(lastProgress_.already + lastProgress_.size, content_.size());
    EXPECT_EQ(lastProgress_.total, content_.size());
}

TEST_F(DownloadExchange, InterruptedTransferResumesAfterTheVerifiedBlocks) {
    content_ = patternBytes(5000000);
    serve("127.0.0.3");
    const PatchElement e = element();
    tavotest::writeFile(patchPath(), content_.substr(0, 3500000));
    writeInfo(recordFor(e, 3));
    ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
    const auto files = fileRequests();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].header("Range"), "bytes=3500000-");
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
    EXPECT_EQ(lastProgress_.already, 3500000u);
    EXPECT_EQ(info().verifiedBlocks, 5u);
    EXPECT_EQ(info().resumeCount, 1u);
}

// A run stopped after writing blocks but before recording them leaves whole
// blocks on disk past the record: they are checked and kept, and from the
// first damaged one the bytes are fetched again.
TEST_F(DownloadExchange, UnrecordedBlocksOnDiskAreCheckedAndKept) {
    content_ = patternBytes(5000000);
    serve("127.0.0.13");
    const PatchElement e = element();
    struct Case { const char* what; std::size_t damagedAt; const char* range; };
    for (const Case c : {Case{"intact", 0, "bytes=3500000-"}, Case{"third block damaged", 2 * kBlock + 7, "bytes=2000000-"}}) {
        SCOPED_TRACE(c.what);
        std::string onDisk = content_.substr(0, 3500000);
        if (c.damagedAt != 0) onDisk[c.damagedAt] ^= 0x21;
        tavotest::writeFile(patchPath(), onDisk);
        writeInfo(recordFor(e, 1));
        ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
        const auto files = fileRequests();
        ASSERT_FALSE(files.empty());
        EXPECT_EQ(files.back().header("Range"), c.range);
        EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
        EXPECT_EQ(info().verifiedBlocks, 5u);
    }
}

TEST_F(DownloadExchange, OldOrOftenResumedRecordsBeginFromZero) {
    content_ = patternBytes(5000000);
    serve("127.0.0.4");
    const PatchElement e = element();
    struct Case { const char* what; uint64_t age; uint64_t resumes; };
    for (const Case c : {Case{"older than a day", 86401, 0}, Case{"64 resumes", 0, 64}}) {
        SCOPED_TRACE(c.what);
        tavotest::writeFile(patchPath(), content_.substr(0, 3500000));
        tavo::PatchInfoRecord r = recordFor(e, 3);
        r.saveTime -= c.age;
        r.resumeCount = c.resumes;
        writeInfo(r);
        const std::size_t before = fileRequests().size();
        ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
        const auto files = fileRequests();
        ASSERT_EQ(files.size(), before + 1);
        EXPECT_FALSE(files.back().hasHeader("Range"));
        EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
        EXPECT_EQ(info().resumeCount, 0u);
    }
}

TEST_F(DownloadExchange, CompleteFileAnsweredWith416Succeeds) {
    serve("127.0.0.5");
    const PatchElement e = element();
    ASSERT_EQ(run(e), 0);
    std::string path;
    ASSERT_EQ(run(e, &path), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_EQ(path, patchPath());
    const auto files = fileRequests();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].header("Range"), "bytes=2500000-");
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
}

TEST_F(DownloadExchange, ServerIgnoringRangeFailsTruncatesAndRestartsFromZero) {
    content_ = patternBytes(5000000);
    serve("127.0.0.6");
    const PatchElement e = element();
    tavotest::writeFile(patchPath(), content_.substr(0, 3500000));
    writeInfo(recordFor(e, 3));
    ignoreRange_ = true;
    EXPECT_EQ(run(e), 90000);
    EXPECT_TRUE(hasCode(tavo::kErrLengthMismatch));
    EXPECT_EQ(tavotest::readFile(patchPath()).size(), 0u);
    ignoreRange_ = false;
    ASSERT_EQ(run(e), 0);
    EXPECT_FALSE(fileRequests().back().hasHeader("Range"));
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
}

// The third block of a file under 3 MiB fails once: the first two blocks are
// on disk and counted, the retry fetches only the rest.
TEST_F(DownloadExchange, CorruptedBlockIsRecordedAndTheRetryEndsByteIdentical) {
    serve("127.0.0.7");
    corruptOnce_ = true;
    const PatchElement e = element();
    EXPECT_EQ(run(e), 90000);
    EXPECT_TRUE(hasCode(tavo::kErrBlockMismatch)) << ::testing::PrintToString(errorCodes());
    const tavo::PatchInfoRecord r = info();
    EXPECT_EQ(r.lastError, 20495u);
    EXPECT_EQ(r.verifiedBlocks, 2u);
    EXPECT_GE(tavotest::readFile(patchPath()).size(), 2 * kBlock);

    ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_EQ(fileRequests().back().header("Range"), "bytes=2000000-");
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
    EXPECT_EQ(info().lastError, 0u);
    EXPECT_EQ(info().verifiedBlocks, 3u);
}

TEST_F(DownloadExchange, BadHashListsRefuseTheStart) {
    serve("127.0.0.8");
    PatchElement e = element();
    const std::string many(256, ',');  // 257 pieces
    struct Case { std::string hashes; int code; };
    for (const Case& c : {Case{many, 20520}, Case{"", 20521}, Case{std::string(40, 'a') + ",", 20521},
                          Case{std::string(39, 'a') + "g", 20521}}) {
        std::strncpy(e.hashes, c.hashes.c_str(), sizeof e.hashes - 1);
        EXPECT_EQ(start(e), 90000);
        EXPECT_EQ(errorCodes(), std::vector<int>{c.code});
    }
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(DownloadExchange, FailuresOfTheExchange) {
    content_ = patternBytes(5000000);
    serve("127.0.0.9");
    const PatchElement e = element();
    tokenStatus_ = 500;
    EXPECT_EQ(run(e), 90000);
    EXPECT_TRUE(hasCode(500)) << ::testing::PrintToString(errorCodes());
    tokenStatus_ = 200;

    // The first staged piece (3 blocks and a part) reached the disk; the
    // retry re-hashes the part and asks from the end of the piece.
    dropAt_ = 4000000;
    EXPECT_EQ(run(e), 90000);
    EXPECT_FALSE(errorCodes().empty());
    EXPECT_EQ(info().verifiedBlocks, 3u);
    EXPECT_EQ(tavotest::readFile(patchPath()).size(), 3145728u);
    dropAt_ = 0;
    ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_EQ(fileRequests().back().header("Range"), "bytes=3145728-");
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
}

TEST_F(DownloadExchange, HostileFileNamesAreRefused) {
    serve("127.0.0.10");
    for (const char* tail : {"/files/a/seg/..", "/files/a/../x.patch", "/files/a/seg/%2e%2e",
                             "/files/a/seg/..%5cx.patch", "/files/a/%2F/x.patch", "/files/a/seg/"}) {
        SCOPED_TRACE(tail);
        tokenAnswer_ = server_->url(tail);
        EXPECT_EQ(run(element()), 90000);
        EXPECT_TRUE(hasCode(tavo::kErrUnsafePatchName)) << ::testing::PrintToString(errorCodes());
    }
    EXPECT_TRUE(fileRequests().empty());
}

TEST_F(DownloadExchange, CancelDuringTheTransferEndsWithoutCodes) {
    serve("127.0.0.11");
    holdBody_ = true;
    ASSERT_EQ(start(element()), 0);
    ASSERT_TRUE(server_->waitForRequests(2, 10000));
    EXPECT_EQ(tavoPatchDownloadIsBusy(handle_, nullptr), 1);
    EXPECT_EQ(tavoPatchDownloadCancel(handle_), 0);
    // The cancel returns once the thread has ended.
    EXPECT_EQ(tavoPatchDownloadIsBusy(handle_, nullptr), 0);
    EXPECT_EQ(tavoPatchDownloadGetResponse(handle_, nullptr, 0), 90000);
    EXPECT_TRUE(errorCodes().empty());
}

// nginx's own Range and 416 answers: a fresh download, a resume after a
// corrupted block, and the complete file asked for again.
TEST_F(DownloadExchange, PatchFilesServedByNginx) {
    if (tavotest::NginxServer::binary() == nullptr) GTEST_SKIP() << "nginx is not installed";
    tavotest::TempDir work;
    tavotest::writeFile(work / "www/files/a/seg/D2015.patch", content_);
    tavotest::NginxServer nginx(work.path(), work / "www", "127.0.0.12", 8012);
    ASSERT_TRUE(nginx.running()) << tavotest::readFile(work / "error.log");
    serve("127.0.0.12");
    tokenAnswer_ = nginx.url(kFilePath) + "\n";
    const PatchElement e = element();
    ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);

    // The third block damaged on disk and recorded as failed: nginx serves
    // the rest from its start.
    std::string damaged = content_;
    damaged[2 * kBlock + 1] ^= 1;
    tavotest::writeFile(patchPath(), damaged);
    tavo::PatchInfoRecord r = recordFor(e, 2);
    r.lastError = 20495;
    writeInfo(r);
    ASSERT_EQ(run(e), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_TRUE(tavotest::readFile(patchPath()) == content_);
    EXPECT_EQ(lastProgress_.already, 2 * kBlock);

    std::string path;
    ASSERT_EQ(run(e, &path), 0) << ::testing::PrintToString(errorCodes());
    EXPECT_EQ(path, patchPath());
    EXPECT_EQ(lastProgress_.already, content_.size());
    EXPECT_EQ(lastProgress_.size, 0u);
}

}  // namespace
