// The session's HTTP client: the session it opens, its "HttpClientUpdater"
// pump thread, releasing requests in flight and the order of tear-down.
#include <gtest/gtest.h>
#include <dirent.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "HttpExchangeSupport.h"
#include "http/HttpSession.h"
#include "http/SessionHttpClient.h"
#include "support/LoopbackHttpServer.h"

namespace tavo {
namespace {

using tavotest::codesNewestFirst;
using tavotest::LoopbackHttpServer;
using tavotest::ReceivedRequest;
using tavotest::ServerConnection;
using tavotest::waitUntil;

// Threads of this process whose name starts with `prefix`.
int threadsNamed(const std::string& prefix) {
    int count = 0;
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return -1;
    while (dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind(prefix, 0) == 0) ++count;
    }
    ::closedir(tasks);
    return count;
}

LoopbackHttpServer::Handler okOrHold() {
    return [](const ReceivedRequest& r, ServerConnection& c) {
        if (r.target == "/held") {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 50000\r\n\r\nsome");
            c.hold();
            return;
        }
        c.respond(200, "OK", {}, "ok");
    };
}

bool sendGet(HttpRequest& request, const std::string& url) {
    return request.open(url.c_str(), "GET") && request.send(nullptr, nullptr, 0, 0);
}

TEST(SessionHttpClientTest, StartOpensTheSessionAndPumpsUntilStopped) {
    LoopbackHttpServer server(okOrHold());
    const std::string updater = "HttpClientUpdat";  // the kernel keeps 15 characters
    const int before = threadsNamed(updater);
    auto client = std::make_unique<SessionHttpClient>();
    EXPECT_EQ(client->session(), nullptr);
    ASSERT_TRUE(client->start());
    HttpSession* session = client->session();
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(session->isOpen());
    EXPECT_EQ(session->userAgent(), "ZANTH_Patch");
    // The thread names itself once it runs.
    EXPECT_TRUE(waitUntil([&] { return threadsNamed(updater) == before + 1; }));

    // A second start is refused by the open session and changes nothing.
    EXPECT_FALSE(client->start());
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10021});
    EXPECT_EQ(client->session(), session);

    HttpRequest* request = session->createRequest();
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(sendGet(*request, server.url("/a")));
    ASSERT_TRUE(waitUntil([&] { return !request->isBusy(); }));
    bool succeeded = false;
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded);
    session->releaseRequest(request);

    // Without the pump nothing moves; the session still works when pumped by hand.
    client->stopUpdater();
    EXPECT_TRUE(waitUntil([&] { return threadsNamed(updater) == before; }));
    request = session->createRequest();
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(sendGet(*request, server.url("/b")));
    ASSERT_TRUE(server.waitForRequests(2, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(request->isBusy());
    EXPECT_TRUE(waitUntil([&] {
        session->pump();
        return !request->isBusy();
    }));
    ASSERT_TRUE(request->getResult(succeeded));
    EXPECT_TRUE(succeeded);

    client.reset();
    EXPECT_EQ(threadsNamed(updater), before);
}

TEST(SessionHttpClientTest, RequestReleasedInFlightIsDeletedByALaterPump) {
    LoopbackHttpServer server(okOrHold());
    SessionHttpClient client;
    ASSERT_TRUE(client.start());
    HttpSession* session = client.session();
    HttpRequest* request = session->createRequest();
    ASSERT_NE(request, nullptr);
    auto token = std::make_shared<int>(0);
    std::atomic<int> bodyCalls{0};
    request->setOnBodyData([token, &bodyCalls](HttpRequest&, const char*, uint32_t) {
        bodyCalls.fetch_add(1);
        return true;
    });
    ASSERT_TRUE(sendGet(*request, server.url("/held")));
    ASSERT_TRUE(waitUntil([&] { return bodyCalls.load() > 0; }));
    EXPECT_EQ(request->state(), HttpRequest::ReceivingBody);

    session->releaseRequest(request);
    EXPECT_EQ(request, nullptr);
    // The handler goes with the request once the pump has retired it.
    EXPECT_TRUE(waitUntil([&] { return token.use_count() == 1; }));

    // The session goes on serving new requests.
    HttpRequest* next = session->createRequest();
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(sendGet(*next, server.url("/after")));
    ASSERT_TRUE(waitUntil([&] { return !next->isBusy(); }));
    bool succeeded = false;
    ASSERT_TRUE(next->getResult(succeeded));
    EXPECT_TRUE(succeeded);
}

TEST(SessionHttpClientTest, TearDownWithARequestInFlightReturns) {
    LoopbackHttpServer server(okOrHold());
    auto client = std::make_unique<SessionHttpClient>();
    ASSERT_TRUE(client->start());
    HttpRequest* request = client->session()->createRequest();
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(sendGet(*request, server.url("/held")));
    ASSERT_TRUE(server.waitForRequests(1, 5000));
    ASSERT_TRUE(waitUntil([&] { return request->state() == HttpRequest::ReceivingBody; }));
    // Stops the pump first, then the session cancels and retires the request.
    client.reset();
    SUCCEED();
}

TEST(HttpSessionTest, RequestsNeedAnOpenSessionAndOneOpenOnly) {
    HttpSession session;
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(session.createRequest(), nullptr);
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10014});
    ASSERT_TRUE(session.open("agent"));
    EXPECT_FALSE(session.open("other"));
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10021});
    EXPECT_EQ(session.userAgent(), "agent");

    HttpRequest* request = session.createRequest();
    ASSERT_NE(request, nullptr);
    HttpRequest* stranger = reinterpret_cast<HttpRequest*>(&session);
    session.releaseRequest(stranger);  // unknown pointers are ignored
    EXPECT_NE(stranger, nullptr);
    session.releaseRequest(request);
    EXPECT_EQ(request, nullptr);
    session.close();
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(session.createRequest(), nullptr);
    EXPECT_EQ(codesNewestFirst(), std::vector<int>{10014});
}

}  // namespace
}  // namespace tavo
