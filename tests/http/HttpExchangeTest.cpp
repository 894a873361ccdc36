// Whole exchanges through HttpSession and HttpRequest against a loopback
// server, pumped by the session's "HttpClientUpdater" thread.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <arpa/inet.h>
#include <csignal>

#include <memory>
#include <string>
#include <vector>

#include "HttpExchangeSupport.h"
#include "http/HttpSession.h"
#include "http/HttpTimeouts.h"
#include "http/SessionHttpClient.h"
#include "support/LoopbackHttpServer.h"

namespace tavo {
namespace {

using tavotest::codesNewestFirst;
using tavotest::ExchangeRecord;
using tavotest::LoopbackHttpServer;
using tavotest::ReceivedRequest;
using tavotest::ServerConnection;
using tavotest::waitUntil;

constexpr int kRawOs = kErrRawOsMarker;

// The loopback server's TLS layer writes session tickets with plain write():
// a client that has already hung up must not kill the test process.
const bool kSigpipeIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;

std::string patterned(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return text;
}

// A loopback port with nothing listening on it.
uint16_t refusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class HttpExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kSigpipeIgnored);
        ASSERT_TRUE(client_.start());
        session_ = client_.session();
        ASSERT_NE(session_, nullptr);
    }
    void TearDown() override { testing::restoreDefaultHttpTimeouts(); }

    // Records live as long as the session: closing a request reports its
    // last state change.
    ExchangeRecord& newRecord() { return *records_.emplace_back(std::make_unique<ExchangeRecord>()); }

    HttpRequest* newRequest(ExchangeRecord& record) {
        HttpRequest* request = session_->createRequest();
        if (request) record.install(*request);
        return request;
    }

    // Sends and waits until the exchange has finished; false on time-out.
    static bool run(HttpRequest& request, const char* url, const char* method,
                    const char* headers = nullptr, const std::string& body = "") {
        if (!request.open(url, method)) return false;
        const void* data = body.empty() ? nullptr : body.data();
        const auto length = static_cast<uint32_t>(body.size());
        if (!request.send(headers, data, length, length)) return false;
        return waitUntil([&] { return !request.isBusy(); });
    }

    std::vector<std::unique_ptr<ExchangeRecord>> records_;
    SessionHttpClient client_;
    HttpSession* session_ = nullptr;
};

using States = std::vector<std::pair<int32_t, int32_t>>;

TEST_F(HttpExchangeTest, GetSendsTheRequestAsGivenAndReadsTheAnswer) {
    LoopbackHttpServer server([](const ReceivedRequest&, ServerConnection& c) {
        c.send("HTTP/1.1 200 Fine Thanks\r\nContent-Type: text/plain\r\nX-Dup: first\r\n"
               "X-Dup: second\r\nContent-Length: 5\r\n\r\nhello");
    });
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(run(*request, server.url("/path/file.txt?a=1&b=two").c_str(), "GET",
                    "X-Hash-Check: enabled\r\nX-Other: 2\r\n"));

    bool succeeded = false;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{});

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "GET");
    EXPECT_EQ(received[0].target, "/path/file.txt?a=1&b=two");
    EXPECT_EQ(received[0].header("User-Agent"), "ZANTH_Patch");
    EXPECT_EQ(received[0].header("X-Hash-Check"), "enabled");
    EXPECT_EQ(received[0].header("X-Other"), "2");
    EXPECT_EQ(received[0].body, "");

    EXPECT_EQ(record.statusCode(), 200);
    EXPECT_EQ(request->status().protocol(), "HTTP");
    EXPECT_EQ(request->status().majorVersion(), 1);
    EXPECT_EQ(request->status().minorVersion(), 1);
    EXPECT_EQ(request->status().reasonPhrase(), "Fine Thanks");
    std::string value;
    ASSERT_TRUE(request->getHeaderById(kHeaderIdContentLength, value));
    EXPECT_EQ(value, "5");
    ASSERT_TRUE(request->getHeaderById(kHeaderIdContentType, value));
    EXPECT_EQ(value, "text/plain");
    EXPECT_FALSE(request->getHeaderById(kHeaderIdCount, value));
    EXPECT_FALSE(request->getHeader("content-type", value));
    ASSERT_TRUE(request->getHeader("X-Dup", value));
    EXPECT_EQ(value, "first");
    EXPECT_EQ(record.body(), "hello");
    EXPECT_EQ(record.completions(), std::vector<uint32_t>{5});
    EXPECT_EQ(record.states(), (States{{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}}));
    EXPECT_EQ(record.finishes(), 0);

    session_->releaseRequest(request);
    EXPECT_EQ(request, nullptr);
}

TEST_F(HttpExchangeTest, PostSendsBodyAndHeaders) {
    LoopbackHttpServer server([](const ReceivedRequest& r, ServerConnection& c) {
        c.respond(200, "OK", {}, "got " + std::to_string(r.body.size()));
    });
    const std::string body = "0123456789abcdef0123456789abcdef01234567\n" + patterned(70000);
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(run(*request, server.url("/check").c_str(), "POST", "X-Hash-Check: enabled\r\nX-Patch-Unique-Id: \r\n", body));
    bool succeeded = false;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded);

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "POST");
    EXPECT_EQ(received[0].target, "/check");
    EXPECT_EQ(received[0].header("User-Agent"), "ZANTH_Patch");
    EXPECT_EQ(received[0].header("X-Hash-Check"), "enabled");
    // An empty value is still sent (the boot kind has no unique id).
    EXPECT_TRUE(received[0].hasHeader("X-Patch-Unique-Id"));
    EXPECT_EQ(received[0].header("X-Patch-Unique-Id"), "");
    EXPECT_EQ(received[0].header("Content-Length"), std::to_string(body.size()));
    EXPECT_TRUE(received[0].body == body) << "body of " << received[0].body.size() << " bytes differs";
    // Nothing the caller did not ask for.
    EXPECT_FALSE(received[0].hasHeader("Expect"));
    EXPECT_FALSE(received[0].hasHeader("Content-Type"));
    EXPECT_EQ(record.body(), "got " + std::to_string(body.size()));
}

struct BodyCase {
    const char* name;
    std::string body;
    bool chunked;
};

TEST_F(HttpExchangeTest, BodyArrivesCompleteInPiecesOfAtMost1024Bytes) {
    const BodyCase cases[] = {
        {"empty", "", false},
        {"2500 bytes", patterned(2500), false},
        {"exactly 1024", patterned(1024), false},
        {"300000 bytes", patterned(300000), false},
        {"chunked", patterned(5000), true},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server([&](const ReceivedRequest&, ServerConnection& conn) {
            if (!c.chunked) {
                conn.respond(200, "OK", {}, c.body);
                return;
            }
            conn.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
            for (std::size_t at = 0; at < c.body.size(); at += 1500) {
                std::string piece = c.body.substr(at, 1500);
                char size[16];
                std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                conn.send(size + piece + "\r\n");
            }
            conn.send("0\r\n\r\n");
        });
        ExchangeRecord& record = newRecord();
        HttpRequest* request = newRequest(record);
        ASSERT_NE(request, nullptr);
        ASSERT_TRUE(run(*request, server.url("/body").c_str(), "GET"));
        bool succeeded = false;
        ASSERT_TRUE(request->getResult(succeeded));
        EXPECT_TRUE(succeeded);
        const std::string got = record.body();
        EXPECT_EQ(got.size(), c.body.size());
        EXPECT_TRUE(got == c.body);
        for (uint32_t piece : record.pieces()) {
            EXPECT_GT(piece, 0u);
            EXPECT_LE(piece, HttpRequest::kReceiveBufferSize);
        }
        EXPECT_EQ(record.completions(), std::vector<uint32_t>{static_cast<uint32_t>(c.body.size())});
        EXPECT_EQ(request->bytesReceived(), c.body.size());
        session_->releaseRequest(request);
    }
}

TEST_F(HttpExchangeTest, HttpsWithAnUntrustedExpiredCertificateForAnotherHostSucceeds) {
    LoopbackHttpServer server([](const ReceivedRequest& r, ServerConnection& c) {
        c.respond(200, "OK", {}, "secure " + r.target);
    }, LoopbackHttpServer::Tls::SelfSigned);
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    ASSERT_EQ(server.url("/s").substr(0, 8), "https://");
    ASSERT_TRUE(run(*request, server.url("/s").c_str(), "GET"));
    bool succeeded = false;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded) << ::testing::PrintToString(codesNewestFirst());
    EXPECT_EQ(record.body(), "secure /s");
}

TEST_F(HttpExchangeTest, ConnectionRefusedLeavesTheRawCodeUnderItsMarker) {
    const std::string url = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/x";
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(run(*request, url.c_str(), "GET"));
    bool succeeded = true;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(codesNewestFirst(), (std::vector<int>{12029, kRawOs, 10009}));
    ASSERT_TRUE(waitUntil([&] { return record.finishes() == 1; }));
    EXPECT_EQ(record.finishCode(), 10009);
    EXPECT_EQ(record.states().back(), (std::pair<int32_t, int32_t>{6, 3}));
}

TEST_F(HttpExchangeTest, ConnectionDroppedMidBodyFailsAfterTheBytesThatCame) {
    const std::string part = patterned(3000);
    LoopbackHttpServer server([&](const ReceivedRequest&, ServerConnection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + part);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.drop();
    });
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(run(*request, server.url("/big").c_str(), "GET"));
    bool succeeded = true;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(codesNewestFirst(), (std::vector<int>{12030, kRawOs, 10009}));
    EXPECT_TRUE(record.body() == part);
    EXPECT_TRUE(record.completions().empty());
    EXPECT_EQ(record.states().back(), (std::pair<int32_t, int32_t>{6, 5}));
}

TEST_F(HttpExchangeTest, ServerThatNeverAnswersTimesOut) {
    testing::setHttpTimeouts({2000, 300});
    LoopbackHttpServer server([](const ReceivedRequest&, ServerConnection& c) { c.hold(); });
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(run(*request, server.url("/silent").c_str(), "GET"));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    bool succeeded = true;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(codesNewestFirst(), (std::vector<int>{10019, 10009}));
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(HttpExchangeTest, MalformedUrlFailsOpenWithTheTranslatedCode) {
    const char* const urls[] = {"no-scheme.example/file", "http://hostonly", "http://"};
    for (const char* url : urls) {
        SCOPED_TRACE(url);
        ExchangeRecord& record = newRecord();
        HttpRequest* request = newRequest(record);
        ASSERT_NE(request, nullptr);
        clearErrors();
        EXPECT_FALSE(request->open(url, "GET"));
        EXPECT_EQ(codesNewestFirst(), std::vector<int>{10018});
        EXPECT_TRUE(request->isIdle());
        EXPECT_EQ(record.states(), (States{{1, 0}, {0, 1}}));
        session_->releaseRequest(request);
    }
}

TEST_F(HttpExchangeTest, CancelWhileReceivingEndsWithTheSingleCancelCode) {
    LoopbackHttpServer server([](const ReceivedRequest&, ServerConnection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + patterned(2000));
        c.hold();
    });
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(request->open(server.url("/slow").c_str(), "GET"));
    ASSERT_TRUE(request->send(nullptr, nullptr, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return record.body().size() == 2000; }));
    EXPECT_EQ(request->state(), HttpRequest::ReceivingBody);
    request->cancel();
    ASSERT_TRUE(waitUntil([&] { return !request->isBusy(); }));
    bool succeeded = true;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10001});
    ASSERT_TRUE(waitUntil([&] { return record.finishes() == 1; }));
    EXPECT_EQ(record.finishCode(), 10001);
    // Cancelling a finished request changes nothing.
    request->cancel();
    EXPECT_EQ(request->state(), HttpRequest::Finished);
}

struct MalformedAnswer {
    const char* name;
    const char* bytes;
    std::vector<int> expected;  // newest first
};

TEST_F(HttpExchangeTest, MalformedAnswersFailWithTheirCodes) {
    const MalformedAnswer cases[] = {
        // Accepted on the wire, refused by our status-line parser.
        {"no space after the code", "HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n", {10006}},
        // Not HTTP at all: the service's invalid-response error under 10009.
        {"no status line", "garbage without a status line\r\n\r\n", {12152, kRawOs, 10009}},
        {"closed without an answer", "", {12030, kRawOs, 10009}},
    };
    for (const MalformedAnswer& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server([&](const ReceivedRequest&, ServerConnection& conn) {
            conn.send(c.bytes);
            conn.closeAfter();
        });
        ExchangeRecord& record = newRecord();
        HttpRequest* request = newRequest(record);
        ASSERT_NE(request, nullptr);
        ASSERT_TRUE(run(*request, server.url("/odd").c_str(), "GET"));
        bool succeeded = true;
        ASSERT_TRUE(request->getResult(succeeded));
        EXPECT_FALSE(succeeded);
        EXPECT_EQ(codesNewestFirst(), c.expected);
        EXPECT_EQ(record.statusCode(), 0) << "onHeaders must not run";
        session_->releaseRequest(request);
    }
}

enum class Failing { Headers, Body, Complete };

struct HandlerCase {
    const char* name;
    Failing which;
    std::vector<int> pushed;    // codes the handler pushes, oldest first
    std::vector<int> expected;  // caller's stack, newest first
};

TEST_F(HttpExchangeTest, HandlerFailureEndsTheRequestWithItsCodes) {
    const HandlerCase cases[] = {
        {"headers with own codes", Failing::Headers, {404, 20401}, {404, 20401}},
        {"headers silent", Failing::Headers, {}, {10015}},
        {"body silent", Failing::Body, {}, {10015}},
        {"body with own code", Failing::Body, {20480}, {20480}},
        {"complete silent", Failing::Complete, {}, {10015}},
    };
    LoopbackHttpServer server([](const ReceivedRequest&, ServerConnection& c) {
        c.respond(404, "Not Found", {}, patterned(3000));
    });
    for (const HandlerCase& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeRecord& record = newRecord();
        HttpRequest* request = newRequest(record);
        ASSERT_NE(request, nullptr);
        auto fail = [pushed = c.pushed] {
            for (int code : pushed) pushError(code);
            return false;
        };
        if (c.which == Failing::Headers)
            request->setOnHeaders([fail](HttpRequest&, const HttpResponseStatus&, const HttpHeaders&) { return fail(); });
        if (c.which == Failing::Body)
            request->setOnBodyData([fail](HttpRequest&, const char*, uint32_t) { return fail(); });
        if (c.which == Failing::Complete)
            request->setOnComplete([fail](HttpRequest&, uint32_t) { return fail(); });
        ASSERT_TRUE(run(*request, server.url("/missing").c_str(), "GET"));
        bool succeeded = true;
        ASSERT_TRUE(request->getResult(succeeded));
        EXPECT_FALSE(succeeded);
        EXPECT_EQ(codesNewestFirst(), c.expected);
        ASSERT_TRUE(waitUntil([&] { return record.finishes() == 1; }));
        EXPECT_EQ(record.finishCode(), c.pushed.empty() ? 10015 : c.pushed.back());
        session_->releaseRequest(request);
    }
}

TEST_F(HttpExchangeTest, CallsInTheWrongStateFailWithTheirCodes) {
    LoopbackHttpServer server([](const ReceivedRequest&, ServerConnection& c) { c.respond(200, "OK", {}, "x"); });
    ExchangeRecord& record = newRecord();
    HttpRequest* request = newRequest(record);
    ASSERT_NE(request, nullptr);
    bool succeeded = true;
    EXPECT_FALSE(request->getResult(succeeded));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10008});
    EXPECT_FALSE(request->send(nullptr, nullptr, 0, 0));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10008});
    clearErrors();
    EXPECT_FALSE(request->open(nullptr, "GET"));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10013});

    const std::string url = server.url("/");
    ASSERT_TRUE(request->open(url.c_str(), "GET"));
    EXPECT_FALSE(request->getResult(succeeded));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10017});
    EXPECT_FALSE(request->open(url.c_str(), "GET"));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10002});
    const char data[] = "abc";
    EXPECT_FALSE(request->send(nullptr, data, 3, 2));  // total below data length
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10013});
    EXPECT_FALSE(request->send(nullptr, data, 0, 0));  // data without a length
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10013});
    EXPECT_EQ(request->state(), HttpRequest::Opened);

    ASSERT_TRUE(request->send(nullptr, nullptr, 0, 0));
    EXPECT_FALSE(request->send(nullptr, nullptr, 0, 0));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10004});
    ASSERT_TRUE(waitUntil([&] { return !request->isBusy(); }));
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded);

    // A finished request re-opens only after close.
    EXPECT_FALSE(request->open(url.c_str(), "GET"));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10002});
    request->close();
    EXPECT_TRUE(request->isIdle());
    ASSERT_TRUE(run(*request, url.c_str(), "GET"));
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(server.requests().size(), 2u);
}

}  // namespace
}  // namespace tavo
