// Loopback download throughput: a 1 GiB body through HttpSession/HttpRequest
// (pumped by "HttpClientUpdater", body handler only counting bytes) against
// `curl -s -o /dev/null` of the same URL from the same sender in the same run.
//
//   bench_http [body bytes] [rounds]      defaults: 1073741824 and 3
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "BodySender.h"
#include "http/HttpRequest.h"
#include "http/HttpSession.h"
#include "http/SessionHttpClient.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kDefaultBodySize = 1ull << 30;
constexpr int kDefaultRounds = 3;
constexpr double kBytesPerMB = 1e6;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Seconds for one download through the client; negative on failure.
double downloadOurs(tavo::HttpSession& session, const std::string& url, uint64_t expected) {
    tavo::HttpRequest* request = session.createRequest();
    if (!request) return -1;
    uint64_t counted = 0;
    request->setOnBodyData([&counted](tavo::HttpRequest&, const char*, uint32_t length) {
        counted += length;
        return true;
    });
    const auto started = Clock::now();
    bool sent = request->open(url.c_str(), "GET") && request->send(nullptr, nullptr, 0, 0);
    while (sent && request->isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double took = seconds(started);
    bool succeeded = false;
    const bool ok = sent && request->getResult(succeeded) && succeeded && counted == expected;
    session.releaseRequest(request);
    if (!ok) std::fprintf(stderr, "client download failed (%llu bytes counted)\n",
                          static_cast<unsigned long long>(counted));
    return ok ? took : -1;
}

// Seconds for one `curl -s -o /dev/null` of the URL; negative on failure.
double downloadCurl(const std::string& url) {
    std::string target = url;
    const char* argv[] = {"curl", "-s", "-o", "/dev/null", "--noproxy", "*", target.c_str(), nullptr};
    const auto started = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    const double took = seconds(started);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "curl failed (status %d)\n", status);
        return -1;
    }
    return took;
}

double megabytesPerSecond(uint64_t bytes, double took) { return bytes / kBytesPerMB / took; }

}  // namespace

int main(int argc, char** argv) {
    const uint64_t size = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : kDefaultBodySize;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : kDefaultRounds;
    zanthbench::BodySender sender(size);
    if (!sender.listening() || size == 0 || size > UINT32_MAX || rounds < 1) {
        std::fprintf(stderr, "cannot set up the benchmark\n");
        return 1;
    }
    tavo::SessionHttpClient client;
    if (!client.start()) {
        std::fprintf(stderr, "cannot start the HTTP client\n");
        return 1;
    }
    const std::string url = sender.url();
    std::printf("body %llu bytes from %s, %d rounds each, best round counts\n",
                static_cast<unsigned long long>(size), url.c_str(), rounds);
    double bestOurs = 0;
    double bestCurl = 0;
    for (int round = 1; round <= rounds; ++round) {
        const double ours = downloadOurs(*client.session(), url, size);
        const double curl = downloadCurl(url);
        if (ours <= 0 || curl <= 0) return 1;
        const double oursRate = megabytesPerSecond(size, ours);
        const double curlRate = megabytesPerSecond(size, curl);
        std::printf("round %d: HttpRequest %8.1f MB/s   curl %8.1f MB/s\n", round, oursRate, curlRate);
        bestOurs = std::max(bestOurs, oursRate);
        bestCurl = std::max(bestCurl, curlRate);
    }
    std::printf("HttpSession/HttpRequest: %.1f MB/s\n", bestOurs);
    std::printf("curl -s -o /dev/null:    %.1f MB/s\n", bestCurl);
    std::printf("ratio (ours / curl):     %.2f (target >= 0.80)\n", bestOurs / bestCurl);
    return 0;
}
