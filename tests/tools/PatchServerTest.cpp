// The patch service through real HTTP on loopback: version check answers,
// token and signed file transfer with Range, refusals, bad manifests.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "HttpServer.h"
#include "Manifest.h"
#include "PatchLine.h"
#include "PatchService.h"
#include "SignedLink.h"
#include "SocketClient.h"
#include "support/TempDir.h"

namespace {

using namespace zanth::tools;
using tavotest::exchange;
using tavotest::RawAnswer;

constexpr const char* kHost = "127.0.0.1";
constexpr const char* kSecret = "0123456789abcdef0123";

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string piece;
    while (std::getline(in, piece, separator))
        parts.push_back(piece);
    return parts;
}

// Repository 1.0 -> 1.1 -> 1.2 -> 1.3; the middle patch has two hash blocks.
void writeRepository(const std::string& dir, Manifest& manifest)
{
    const std::size_t sizes[] = {1000, 70000, 10};
    manifest = Manifest{};
    manifest.baseVersion = "1.0";
    manifest.linkSecret = kSecret;
    for (std::size_t i = 0; i < 3; ++i) {
        ManifestPatch p;
        p.version = "1." + std::to_string(i + 1);
        p.file = "p" + std::to_string(i + 1) + ".patch";
        tavotest::writeFile(dir + "/" + p.file, randomBytes(sizes[i], static_cast<unsigned>(i)));
        p.hashBlockSize = 65536;
        std::string error;
        ASSERT_TRUE(hashFileBlocks(dir + "/" + p.file, p.hashBlockSize, p.patchSize, p.hashes, error)) << error;
        p.installFileSize = 5 * p.patchSize;
        manifest.patches.push_back(p);
    }
    std::string error;
    ASSERT_TRUE(saveManifest(manifest, dir + "/" + kManifestName, error)) << error;
}

class PatchServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Manifest written;
        writeRepository(repo_.path(), written);
        std::string error;
        ASSERT_TRUE(loadRepository(repo_.path(), manifest_, error)) << error;
        service_ = std::make_unique<PatchService>(manifest_, repo_.path());
        server_ = std::make_unique<HttpServer>(*service_, [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMutex_);
            log_.push_back(line);
        });
        ASSERT_TRUE(server_->start(kHost, 0, error)) << error;
    }

    // The server's threads write the log: stop them before the log goes.
    void TearDown() override { server_.reset(); }

    RawAnswer send(const std::string& request) { return exchange(kHost, server_->port(), request); }

    RawAnswer get(const std::string& target, const std::string& extra = "")
    {
        return send("GET " + target + " HTTP/1.1\r\nHost: " + host() + "\r\n" + extra + "\r\n");
    }

    RawAnswer post(const std::string& target, const std::string& body, const std::string& extra = "")
    {
        return send("POST " + target + " HTTP/1.1\r\nHost: " + host() + "\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n" + extra + "\r\n" + body);
    }

    std::string host() const { return std::string(kHost) + ":" + std::to_string(server_->port()); }

    std::string uniqueId() { return post("/http/win32/game/1.0/s1", "hash\n").field("X-Patch-Unique-Id"); }

    // The signed address's path and query for patch `file`.
    std::string tokenTarget(const std::string& file)
    {
        const RawAnswer token = post("/gen_token", "http://" + host() + "/patch/game/" + file,
                                     "X-Patch-Unique-Id: " + uniqueId() + "\r\n");
        EXPECT_EQ(token.status, 200) << token.body;
        const std::string prefix = "http://" + host();
        EXPECT_TRUE(token.body.starts_with(prefix)) << token.body;
        return token.body.substr(prefix.size());
    }

    std::string patchBytes(int index) { return tavotest::readFile(repo_ / manifest_.patches[index].file); }

    tavotest::TempDir repo_;
    Manifest manifest_;
    std::unique_ptr<PatchService> service_;
    std::unique_ptr<HttpServer> server_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

TEST_F(PatchServerTest, VersionCheckListsTheRestOfTheChain)
{
    struct Case {
        bool game;
        std::string version;
        int status;
        std::vector<std::string> versions;  // of the listed lines
        std::string sessionId = "s1";
    };
    const Case cases[] = {
        {true, "1.0", 200, {"1.1", "1.2", "1.3"}},
        {false, "1.0", 200, {"1.1", "1.2", "1.3"}},
        {true, "1.2", 200, {"1.3"}},
        {true, "1.2", 200, {"1.3"}, ""},  // a session text without id
        {false, "1.1", 200, {"1.2", "1.3"}},
        {true, "1.3", 200, {}},
        {false, "1.3", 200, {}},
        {true, "0.9", 404, {}},
        {false, "2.0", 404, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.game ? "game " : "boot ") + c.version);
        const std::string base = "/http/win32/game/" + c.version + "/";
        const RawAnswer a = c.game ? post(base + c.sessionId, "bootHash\n", "X-Hash-Check: enabled\r\n")
                                   : get(base + "?time=2015-02-09-05");
        ASSERT_EQ(a.status, c.status) << a.head;
        if (c.status != 200)
            continue;
        EXPECT_EQ(a.field("X-Patch-Module"), "Mendrel");
        EXPECT_TRUE(isOwnUniqueId(a.field("X-Patch-Unique-Id"), kSecret));
        if (c.versions.empty()) {
            EXPECT_TRUE(a.body.empty());
            continue;
        }
        const std::string type = a.field("Content-Type");
        const std::string marker = "multipart/mixed; boundary=";
        ASSERT_TRUE(type.starts_with(marker)) << type;
        const std::string delimiter = "--" + type.substr(marker.size());
        ASSERT_TRUE(a.body.starts_with(delimiter + "\r\n"));
        ASSERT_TRUE(a.body.ends_with(delimiter + "--\r\n"));
        const std::size_t content = a.body.find("\r\n\r\n") + 4;
        const std::string part = a.body.substr(content, a.body.size() - content - delimiter.size() - 4);
        std::vector<std::string> versions;
        for (std::string line : split(part, '\n')) {
            ASSERT_TRUE(line.ends_with("\r"));
            line.pop_back();
            const std::vector<std::string> fields = split(line, '\t');
            ASSERT_EQ(fields.size(), 9u) << line;
            const int index = manifest_.versionIndex(fields[4]) - 1;
            ASSERT_GE(index, 0);
            const ManifestPatch& p = manifest_.patches[index];
            EXPECT_EQ(fields[0], std::to_string(p.patchSize));
            EXPECT_EQ(fields[1], std::to_string(p.installFileSize));
            EXPECT_EQ(fields[6], std::to_string(p.hashBlockSize));
            EXPECT_EQ(fields[7], p.hashes);
            EXPECT_EQ(fields[8], "http://" + host() + "/patch/game/" + p.file);
            versions.push_back(fields[4]);
        }
        EXPECT_EQ(versions, c.versions);
    }
}

TEST_F(PatchServerTest, UniqueIdsAreFreshAndPlatformAndRepositoryMustMatch)
{
    EXPECT_NE(uniqueId(), uniqueId());
    EXPECT_EQ(post("/http/linux/game/1.0/s1", "h\n").status, 404);
    EXPECT_EQ(post("/http/win32/boot/1.0/s1", "h\n").status, 404);
}

TEST_F(PatchServerTest, TokenLeadsToTheFileWithRangeAnd416)
{
    const std::string whole = patchBytes(1);
    const std::string target = tokenTarget("p2.patch");
    ASSERT_TRUE(target.starts_with("/patch/game/p2.patch?md5=")) << target;

    const RawAnswer full = get(target);
    EXPECT_EQ(full.status, 200);
    EXPECT_EQ(full.field("Content-Length"), std::to_string(whole.size()));
    EXPECT_TRUE(full.body == whole);

    const RawAnswer tail = get(target, "Range: bytes=65536-\r\n");
    EXPECT_EQ(tail.status, 206);
    EXPECT_EQ(tail.field("Content-Range"), "bytes 65536-69999/70000");
    EXPECT_TRUE(tail.body == whole.substr(65536));

    const RawAnswer middle = get(target, "Range: bytes=10-19\r\n");
    EXPECT_EQ(middle.status, 206);
    EXPECT_TRUE(middle.body == whole.substr(10, 10));

    for (const char* range : {"bytes=70000-", "bytes=90000-"}) {
        const RawAnswer refused = get(target, std::string("Range: ") + range + "\r\n");
        EXPECT_EQ(refused.status, 416) << range;
        EXPECT_EQ(refused.field("Content-Range"), "bytes */70000") << range;
    }
}

TEST_F(PatchServerTest, BadSignaturesExpiredAddressesAndForeignIdsAreForbidden)
{
    const std::string target = tokenTarget("p1.patch");
    std::string tampered = target;
    tampered[tampered.find("md5=") + 4] ^= 1;
    const std::string uri = "/patch/game/p1.patch";
    const uint64_t past = static_cast<uint64_t>(std::time(nullptr)) - 10;
    const std::string expired = signedLink(uri, past, kSecret);
    const std::string otherSecret = signedLink(uri, past + 1000, "another-secret-of-length");
    for (const std::string& t : {tampered, expired, otherSecret, uri, uri + "?md5=&expires=x"})
        EXPECT_EQ(get(t).status, 403) << t;
    EXPECT_EQ(get(signedLink(uri, past + 1000, kSecret)).status, 200);

    const std::string body = "http://" + host() + uri;
    EXPECT_EQ(post("/gen_token", body).status, 403);
    EXPECT_EQ(post("/gen_token", body, "X-Patch-Unique-Id: " + std::string(48, 'a') + "\r\n").status, 403);
    EXPECT_EQ(post("/gen_token", "http://x/patch/game/nope.patch", "X-Patch-Unique-Id: " + uniqueId() + "\r\n").status,
              404);
}

TEST_F(PatchServerTest, RequestsItDoesNotUnderstandGet4xx)
{
    const std::string h = "Host: x\r\n";
    const std::string cases[] = {
        "GARBAGE\r\n\r\n",
        "GET nopath HTTP/1.1\r\n\r\n",
        "GET / HTTP/2.0\r\n\r\n",
        "GET /a b HTTP/1.1\r\n\r\n",
        "GET / HTTP/1.1\r\nno colon here\r\n\r\n",
        "GET / HTTP/1.1\r\nBad Name: x\r\n\r\n",
        "GET / HTTP/1.1\r\nX: a\nb\r\n\r\n",
        "POST /gen_token HTTP/1.1\r\nContent-Length: abc\r\n\r\n",
        "POST /gen_token HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx",
        "POST /gen_token HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
        "POST /gen_token HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n",
        "GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n",
        "DELETE /gen_token HTTP/1.1\r\n" + h + "\r\n",
        "GET /gen_token HTTP/1.1\r\n" + h + "\r\n",
        "PUT /http/win32/game/1.0/s1 HTTP/1.1\r\n" + h + "\r\n",
        "GET /http/win32/game/1.0/s1 HTTP/1.1\r\n" + h + "\r\n",
        "GET /patch/game/../manifest.json HTTP/1.1\r\n" + h + "\r\n",
        "GET /patch/game/manifest.json HTTP/1.1\r\n" + h + "\r\n",
        "GET /nothing HTTP/1.1\r\n" + h + "\r\n",
        "POST /http/win32/game/1.0/s1 HTTP/1.1\r\nContent-Length: 2\r\n\r\nh\n",  // no Host
    };
    for (const std::string& request : cases) {
        const RawAnswer a = send(request);
        EXPECT_GE(a.status, 400) << request.substr(0, 80);
        EXPECT_LT(a.status, 500) << request.substr(0, 80);
    }
    EXPECT_EQ(uniqueId().size(), 48u);  // still serving
    std::lock_guard<std::mutex> lock(logMutex_);
    EXPECT_EQ(log_.size(), std::size(cases) + 1);  // one line per request
}

TEST_F(PatchServerTest, ConcurrentDownloadsAndStopWithAClientConnected)
{
    const std::string target = tokenTarget("p2.patch");
    const std::string whole = patchBytes(1);
    std::vector<std::thread> clients;
    std::atomic<int> same{0};
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&] { same += get(target).body == whole ? 1 : 0; });
    for (auto& t : clients)
        t.join();
    EXPECT_EQ(same, 8);
    // A connection that never sends its request must not hold stop() up.
    std::thread idle([this] { exchange(kHost, server_->port(), "GET / HTTP/1.1\r\n"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    server_->stop();
    idle.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(PatchRepository, BadManifestsAreRefusedNamingFileAndProblem)
{
    struct Case {
        const char* name;
        std::function<void(const std::string& dir)> spoil;
        std::string fileInMessage;
        std::string problem;
    };
    const auto replaceInManifest = [](const std::string& from, const std::string& to) {
        return [from, to](const std::string& dir) {
            std::string text = tavotest::readFile(dir + "/manifest.json");
            const std::size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
            tavotest::writeFile(dir + "/manifest.json", text);
        };
    };
    const Case cases[] = {
        {"not json", [](const std::string& d) { tavotest::writeFile(d + "/manifest.json", "{\"a\":"); },
         "manifest.json", "not valid JSON"},
        {"missing", [](const std::string& d) { std::filesystem::remove(d + "/manifest.json"); }, "manifest.json",
         "cannot be read"},
        {"no base", replaceInManifest("\"baseVersion\"", "\"base\""), "manifest.json", "baseVersion: missing"},
        {"short secret", replaceInManifest(kSecret, "short"), "manifest.json", "linkSecret"},
        {"twice", replaceInManifest("\"1.2\"", "\"1.1\""), "manifest.json", "appears twice"},
        {"patch gone", [](const std::string& d) { std::filesystem::remove(d + "/p2.patch"); }, "p2.patch",
         "missing"},
        {"size", [](const std::string& d) { tavotest::writeFile(d + "/p3.patch", "12345678901"); }, "p3.patch",
         "differs from patchSize"},
        {"content", [](const std::string& d) { tavotest::writeFile(d + "/p3.patch", "0123456789"); }, "p3.patch",
         "block hashes differ"},
        {"path in file", replaceInManifest("\"p1.patch\"", "\"../p1.patch\""), "manifest.json", "file:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tavotest::TempDir dir;
        Manifest manifest;
        writeRepository(dir.path(), manifest);
        c.spoil(dir.path());
        std::string error;
        EXPECT_FALSE(loadRepository(dir.path(), manifest, error));
        EXPECT_NE(error.find(c.fileInMessage), std::string::npos) << error;
        EXPECT_NE(error.find(c.problem), std::string::npos) << error;
    }
}

// The program itself: refuses a bad repository at start, and stops cleanly
// with status 0 on SIGTERM.
TEST(PatchServerProgram, RefusesBadRepositoryAndStopsOnSigterm)
{
    tavotest::TempDir dir;
    Manifest manifest;
    writeRepository(dir.path(), manifest);
    tavotest::writeFile(dir / "p1.patch", "x");
    const std::string server = ZANTH_PATCH_SERVER;
    const std::string refused = "'" + server + "' --repository '" + dir.path() + "' --listen 127.0.0.1:0 2>'" +
                                (dir / "err.txt") + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(refused.c_str())), 1);
    EXPECT_NE(tavotest::readFile(dir / "err.txt").find("p1.patch: size 1 differs"), std::string::npos);

    writeRepository(dir.path(), manifest);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string log = dir / "log.txt";
        freopen(log.c_str(), "w", stderr);
        execl(server.c_str(), server.c_str(), "--repository", dir.path().c_str(), "--listen", "127.0.0.3:0",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto listening = [&] {
        return tavotest::pathExists(dir / "log.txt") &&
               tavotest::readFile(dir / "log.txt").find(" on 127.0.0.3:") != std::string::npos;
    };
    for (int i = 0; i < 100 && !listening(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(tavotest::readFile(dir / "log.txt").find("stopped on signal 15"), std::string::npos);
}

}  // namespace
