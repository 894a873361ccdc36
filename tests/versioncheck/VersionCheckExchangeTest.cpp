// The version check end to end through the exported functions, against a
// real HTTP server on loopback: the request the server receives, the patch
// list the answers yield, and the codes tavoPatchGetErrorCodes reads back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/HttpTimeouts.h"
#include "interface/PatchSession.h"
#include "interface/SessionTable.h"
#include "support/LoopbackHttpServer.h"
#include "tavoPatch.h"
#include "versioncheck/HourStamp.h"

namespace {

using tavotest::HeaderList;
using tavotest::LoopbackHttpServer;
using tavotest::ReceivedRequest;
using tavotest::ServerConnection;

constexpr int kBusyPollMs = 5;
constexpr auto kCheckDeadline = std::chrono::seconds(20);
constexpr int kMaxCodes = 20;

const std::string kHash = "0123456789abcdef0123456789abcdef01234567";
const std::string kLine1 = "1000\t2000\t3\t4\t1.1\tnote\t512\t" + kHash + "\thttp://p/1.mdl";
const std::string kLine2 = "7\t8\t0\t0\t1.2\t\t4096\t" + kHash + "," + kHash + "\thttp://p/2.mdl";
const HeaderList kMultipart = {{"Content-Type", "multipart/mixed; boundary=XYZ"}};

std::string multipartBody(const std::vector<std::string>& lines, const char* lineEnd = "\r\n") {
    std::string body = "--XYZ\r\nContent-Type: text/plain\r\n\r\n";
    for (const std::string& line : lines) body += line + lineEnd;
    return body + "--XYZ--\r\n";
}

std::vector<int> errorCodes() {
    int codes[kMaxCodes] = {};
    const int n = tavoPatchGetErrorCodes(codes, kMaxCodes);
    return std::vector<int>(codes, codes + n);
}

class VersionCheckExchange : public ::testing::Test {
protected:
    void TearDown() override {
        closeSession();
        tavo::testing::restoreDefaultHttpTimeouts();
        server_.reset();
    }

    void serve(LoopbackHttpServer::Handler handler,
               LoopbackHttpServer::Tls tls = LoopbackHttpServer::Tls::Off) {
        server_ = std::make_unique<LoopbackHttpServer>(std::move(handler), tls);
    }
    // Every request gets the same complete answer.
    void answer(int status, const std::string& reason, const HeaderList& headers, const std::string& body) {
        serve([=](const ReceivedRequest&, ServerConnection& c) { c.respond(status, reason, headers, body); });
    }

    void openSession(const char* repository, const char* params = "SESSIONID=s1,BOOTHASH=bh1") {
        closeSession();
        handle_ = tavoPatchInitialize(repository, params);
        ASSERT_GE(handle_, 0);
    }
    void closeSession() {
        if (handle_ >= 0) {
            EXPECT_EQ(tavoPatchFinalize(handle_), 0);
        }
        handle_ = -1;
    }
    int startCheck(const char* scheme = "http") {
        return tavoPatchVersionCheckStart(handle_, server_->address().c_str(), server_->port(), scheme,
                                          "win32", "game", "1.0");
    }
    // Polls like the launcher does, then reads the response.
    int waitForResponse() {
        const auto deadline = std::chrono::steady_clock::now() + kCheckDeadline;
        while (tavoPatchVersionCheckIsBusy(handle_) == 1) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "version check still busy";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
        }
        return tavoPatchVersionCheckGetResponse(handle_);
    }
    int runCheck(const char* scheme = "http") {
        const int started = startCheck(scheme);
        EXPECT_EQ(started, 0) << "start";
        return started == 0 ? waitForResponse() : started;
    }
    PatchElement element(int index) {
        PatchElement e;
        std::memset(&e, 0x5a, sizeof e);
        EXPECT_EQ(tavoPatchGetPatchElement(handle_, &e, index), 0) << index;
        return e;
    }
    const tavo::VersionCheckResults& results() { return tavo::findSession(handle_)->current().results; }

    std::unique_ptr<LoopbackHttpServer> server_;
    int handle_ = -1;
};

TEST_F(VersionCheckExchange, GameCheckPostsTheSessionAndBootHashAndYieldsTheList) {
    answer(200, "OK",
           {{"Content-Type", "multipart/mixed; boundary=XYZ"}, {"X-Patch-Module", "Mendrel"},
            {"X-Patch-Unique-Id", "u-77"}},
           multipartBody({kLine1, kLine2}));
    openSession("game");
    ASSERT_EQ(runCheck(), 0);

    const std::vector<ReceivedRequest> received = server_->requests();
    ASSERT_EQ(received.size(), 1u);
    const ReceivedRequest& r = received[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/http/win32/game/1.0/s1");
    EXPECT_EQ(r.header("X-Hash-Check"), "enabled");
    EXPECT_EQ(r.header("Content-Length"), "4");
    EXPECT_EQ(r.body, "bh1\n");
    EXPECT_EQ(r.header("User-Agent"), "ZANTH_Patch");

    ASSERT_EQ(tavoPatchGetNumOfPatch(handle_), 2);
    PatchElement first = element(0);
    EXPECT_EQ(first.patchSize, 1000u);
    EXPECT_EQ(first.installFileSize, 2000u);
    EXPECT_EQ(first.extra1, 3u);
    EXPECT_EQ(first.extra2, 4u);
    EXPECT_EQ(first.hashBlockSize, 512u);
    EXPECT_STREQ(first.version, "1.1");
    EXPECT_STREQ(first.extraText, "note");
    EXPECT_STREQ(first.url, "http://p/1.mdl");
    EXPECT_EQ(std::string(first.hashes), kHash);
    PatchElement second = element(1);
    EXPECT_STREQ(second.url, "http://p/2.mdl");
    EXPECT_STREQ(second.extraText, "");
    EXPECT_EQ(std::string(second.hashes), kHash + "," + kHash);
    PatchElement untouched;
    EXPECT_EQ(tavoPatchGetPatchElement(handle_, &untouched, 2), TAVOPATCH_FAILED);

    EXPECT_EQ(results().moduleKind, 0);
    EXPECT_EQ(results().uniqueId, "u-77");
}

TEST_F(VersionCheckExchange, BootCheckGetsWithTheHourStampAndReadsLfLines) {
    answer(200, "OK", {{"Content-Type", "multipart/mixed; boundary=XYZ"}, {"X-Patch-Module", "VcdPatch"},
                       {"X-Patch-Unique-Id", "ignored"}},
           multipartBody({kLine2, "http://p/bare", "12abc\tabc\t0\t0\t2.0\tx\t9\t\thttp://p/nine"}, "\n"));
    openSession("boot", "whole-text-is-the-boot-hash");
    const std::string before = tavo::utcHourStamp(std::time(nullptr));
    ASSERT_EQ(runCheck(), 0);
    const std::string after = tavo::utcHourStamp(std::time(nullptr));

    const std::vector<ReceivedRequest> received = server_->requests();
    ASSERT_EQ(received.size(), 1u);
    const ReceivedRequest& r = received[0];
    EXPECT_EQ(r.method, "GET");
    const std::string prefix = "/http/win32/game/1.0/?time=";
    ASSERT_EQ(r.target.compare(0, prefix.size(), prefix), 0) << r.target;
    const std::string stamp = r.target.substr(prefix.size());
    EXPECT_TRUE(stamp == before || stamp == after) << stamp;
    EXPECT_EQ(stamp.size(), std::strlen("2015-02-09-05")) << stamp;
    EXPECT_FALSE(r.hasHeader("X-Hash-Check"));
    EXPECT_TRUE(r.body.empty());

    ASSERT_EQ(tavoPatchGetNumOfPatch(handle_), 3);
    PatchElement first = element(0);
    EXPECT_EQ(first.patchSize, 7u);
    EXPECT_STREQ(first.url, "http://p/2.mdl");
    PatchElement bare = element(1);
    EXPECT_STREQ(bare.url, "http://p/bare");
    EXPECT_EQ(bare.patchSize, 0u);
    EXPECT_STREQ(bare.version, "");
    PatchElement nine = element(2);
    EXPECT_EQ(nine.patchSize, 12u);
    EXPECT_EQ(nine.installFileSize, 0u);
    EXPECT_EQ(nine.hashBlockSize, 9u);
    EXPECT_STREQ(nine.version, "2.0");
    EXPECT_STREQ(nine.hashes, "");
    EXPECT_STREQ(nine.url, "http://p/nine");
    EXPECT_EQ(results().moduleKind, 2);
    EXPECT_EQ(results().uniqueId, "");
}

TEST_F(VersionCheckExchange, EmptyBodyMeansNoPatchesAndASecondCheckReplacesTheList) {
    int calls = 0;
    serve([&calls](const ReceivedRequest&, ServerConnection& c) {
        // First a list of one, then nothing left to do.
        if (calls++ == 0)
            c.respond(200, "OK", {{"Content-Type", "multipart/mixed; boundary=XYZ"}, {"X-Patch-Module", "RTPatch"}},
                      multipartBody({kLine1}));
        else
            c.respond(200, "OK", {{"X-Patch-Module", "Mendrel"}}, "");
    });
    openSession("game");
    ASSERT_EQ(runCheck(), 0);
    ASSERT_EQ(tavoPatchGetNumOfPatch(handle_), 1);
    EXPECT_EQ(results().moduleKind, 1);

    ASSERT_EQ(runCheck(), 0);
    EXPECT_EQ(tavoPatchGetNumOfPatch(handle_), 0);
    PatchElement e;
    EXPECT_EQ(tavoPatchGetPatchElement(handle_, &e, 0), TAVOPATCH_FAILED);
    // An empty answer stores no module kind of its own.
    EXPECT_EQ(results().moduleKind, 1);
}

struct FailureCase {
    const char* name;
    const char* repository;
    int status;
    HeaderList headers;
    std::string body;
    std::vector<int> codes;  // newest first, as read back
};

TEST_F(VersionCheckExchange, FailedAnswersReportTheirCodesInOrder) {
    const HeaderList cis = {{"X-Patch-Error-Code", "1234"}, {"X-Patch-Error-Name", "CIS Exception"}};
    const std::vector<FailureCase> cases = {
        {"400 game", "game", 400, {}, "", {400, 20401}},
        {"400 boot", "boot", 400, {}, "", {400, 20401}},
        {"404 game", "game", 404, {}, "", {404, 20457}},
        {"404 boot", "boot", 404, {}, "", {404, 20446}},
        {"503 with error code", "game", 503, {{"X-Patch-Error-Code", "1234"}}, "", {503, 1234}},
        {"503 with CIS Exception", "game", 503, cis, "", {20462, 1234, 20455}},
        {"boot knows no CIS Exception", "boot", 503, cis, "", {503, 1234}},
        {"CIS name must match exactly", "game", 503, {{"X-Patch-Error-Name", "CIS exception"}}, "", {503}},
        {"error code that is no number", "game", 500, {{"X-Patch-Error-Code", "oops"}}, "", {500, 0}},
        {"error code ignored below 5xx", "game", 403, {{"X-Patch-Error-Code", "1234"}}, "", {403, 20457}},
        {"not modified is no success", "game", 304, {}, "", {304}},
        {"no boundary, game", "game", 200, {{"Content-Type", "text/plain"}}, multipartBody({kLine1}), {20458}},
        {"no boundary, boot", "boot", 200, {{"Content-Type", "text/plain"}}, multipartBody({kLine1}),
         {20447, 20526}},
        {"unclosed part, game", "game", 200, kMultipart, "--XYZ\r\nA: b\r\n\r\n" + kLine1 + "\r\n", {20458}},
        {"part without blank line, boot", "boot", 200, kMultipart, "--XYZ\r\nA: b\r\n" + kLine1 + "\r\n--XYZ--",
         {20447}},
    };
    for (const FailureCase& c : cases) {
        answer(c.status, "Reason", c.headers, c.body);
        openSession(c.repository);
        EXPECT_EQ(runCheck(), TAVOPATCH_FAILED) << c.name;
        EXPECT_EQ(errorCodes(), c.codes) << c.name;
        EXPECT_EQ(tavoPatchGetNumOfPatch(handle_), 0) << c.name;
        closeSession();
    }
}

TEST_F(VersionCheckExchange, ConnectionDroppedMidBody) {
    serve([](const ReceivedRequest&, ServerConnection& c) {
        const std::string body = multipartBody({kLine1, kLine2});
        c.send("HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=XYZ\r\nContent-Length: " +
               std::to_string(body.size() + 1000) + "\r\n\r\n" + body);
        c.drop();
    });
    openSession("game");
    EXPECT_EQ(runCheck(), TAVOPATCH_FAILED);
    // The service's error lies beneath its marker, restored in the exchange's
    // reverse order; it is neither a cancel nor a time-out, so nothing is added.
    EXPECT_EQ(errorCodes(), (std::vector<int>{12030, 19900, 10009}));
    EXPECT_EQ(tavoPatchGetNumOfPatch(handle_), 0);
}

TEST_F(VersionCheckExchange, ServerThatNeverAnswersTimesOut) {
    tavo::testing::setHttpTimeouts({2000, 300});
    serve([](const ReceivedRequest&, ServerConnection& c) { c.hold(); });
    for (const auto& [repository, code] : {std::pair{"game", 20459}, std::pair{"boot", 20448}}) {
        openSession(repository);
        EXPECT_EQ(runCheck(), TAVOPATCH_FAILED) << repository;
        EXPECT_EQ(errorCodes(), (std::vector<int>{code, 10019, 10009})) << repository;
        closeSession();
    }
    server_->stop();
}

TEST_F(VersionCheckExchange, CancelEndsWithAnEmptyErrorStack) {
    serve([](const ReceivedRequest&, ServerConnection& c) { c.hold(); });
    openSession("game");
    ASSERT_EQ(startCheck(), 0);
    ASSERT_TRUE(server_->waitForRequests(1, 5000));
    EXPECT_EQ(tavoPatchVersionCheckIsBusy(handle_), 1);
    EXPECT_EQ(tavoPatchVersionCheckCancel(handle_), 0);
    EXPECT_EQ(waitForResponse(), TAVOPATCH_FAILED);
    EXPECT_TRUE(errorCodes().empty());
    // The response was taken: asking again finds no request.
    EXPECT_EQ(tavoPatchVersionCheckGetResponse(handle_), TAVOPATCH_FAILED);
    EXPECT_EQ(errorCodes(), (std::vector<int>{20451}));
    closeSession();
    server_->stop();
}

TEST_F(VersionCheckExchange, FinalizeWhileTheCheckIsInFlight) {
    serve([](const ReceivedRequest&, ServerConnection& c) { c.hold(); });
    openSession("boot");
    ASSERT_EQ(startCheck(), 0);
    ASSERT_TRUE(server_->waitForRequests(1, 5000));
    // A second start replaces the busy worker; finalize then finds one in flight.
    ASSERT_EQ(startCheck(), 0);
    ASSERT_TRUE(server_->waitForRequests(2, 5000));
    closeSession();
    server_->stop();
}

TEST_F(VersionCheckExchange, HttpsWithASelfSignedCertificate) {
    serve([](const ReceivedRequest&, ServerConnection& c) { c.respond(200, "OK", kMultipart, multipartBody({kLine1})); },
          LoopbackHttpServer::Tls::SelfSigned);
    openSession("game");
    ASSERT_EQ(runCheck("https"), 0);
    ASSERT_EQ(tavoPatchGetNumOfPatch(handle_), 1);
    EXPECT_STREQ(element(0).url, "http://p/1.mdl");
}

TEST_F(VersionCheckExchange, OversizedBodyIsRefused) {
    const std::string huge((64u << 20) + 1, 'a');
    answer(200, "OK", kMultipart, huge);
    openSession("game");
    EXPECT_EQ(runCheck(), TAVOPATCH_FAILED);
    EXPECT_EQ(errorCodes(), (std::vector<int>{21040}));
}

}  // namespace
