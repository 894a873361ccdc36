// Patch download throughput: a file with 99 block hashes fetched from nginx
// on loopback through the exported download functions, polled like the
// launcher polls them, against `curl -s -o FILE` of the same file from the
// same server in the same run. Both copies are compared with the source
// before a figure counts; the peak resident memory of this process is
// printed against its target. Each timed run is preceded by the same page
// warm-up (WarmPages.h), so neither side writes into memory the machine has
// to back first.
//
//   bench_download SOURCE FILE_URL TOKEN_HOST WORK_DIR [rounds] [poll ms]
//   defaults: 2 rounds, 100 ms
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BlockHashes.h"
#include "WarmPages.h"
#include "interface/PatchSession.h"
#include "interface/SessionTable.h"
#include "tavoPatch.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDefaultRounds = 2;
constexpr int kDefaultPollMs = 100;
constexpr uint64_t kHashCount = 99;  // the most the hashes field holds
constexpr double kBytesPerMB = 1e6;
constexpr long kMemoryTargetKiB = 64 * 1024;
constexpr int kMaxCodes = 20;
constexpr int kHashTextSize = 41;  // 40 hex digits and a comma

struct Setup {
    std::string source;
    std::string fileUrl;
    std::string tokenHost;
    std::string workDir;
    int rounds = kDefaultRounds;
    int pollMs = kDefaultPollMs;
};

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double megabytesPerSecond(uint64_t bytes, double took) { return bytes / kBytesPerMB / took; }

// Exit status of a program run to its end; -1 when it could not run.
int runProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool sameAsSource(const Setup& s, const std::string& copy) {
    if (runProgram({"cmp", "-s", s.source, copy}) == 0) return true;
    std::fprintf(stderr, "%s differs from %s\n", copy.c_str(), s.source.c_str());
    return false;
}

// Removes a copy (and its record) and flushes, so that no run inherits the
// previous run's dirty pages.
void clearCopy(const std::string& copy) {
    unlink(copy.c_str());
    unlink((copy + ".info").c_str());
    sync();
}

uint64_t blockSizeFor(uint64_t size) {
    return (size + kHashCount - 1) / kHashCount;
}

bool makeElement(const Setup& s, uint64_t size, PatchElement& e) {
    std::memset(&e, 0, sizeof e);
    e.patchSize = size;
    e.hashBlockSize = blockSizeFor(size);
    const std::string hashes = zanthbench::blockHashes(s.source, size, e.hashBlockSize);
    if (hashes.empty() || hashes.size() >= sizeof e.hashes || s.fileUrl.size() >= sizeof e.url) return false;
    std::memcpy(e.url, s.fileUrl.data(), s.fileUrl.size());
    std::memcpy(e.hashes, hashes.data(), hashes.size());
    std::printf("%llu bytes, %zu block hashes of %llu bytes\n", static_cast<unsigned long long>(size),
                (hashes.size() + 1) / kHashTextSize, static_cast<unsigned long long>(e.hashBlockSize));
    return true;
}

void printErrorCodes() {
    int codes[kMaxCodes] = {};
    const int n = tavoPatchGetErrorCodes(codes, kMaxCodes);
    std::fprintf(stderr, "error codes:");
    for (int i = 0; i < n; ++i) std::fprintf(stderr, " %d", codes[i]);
    std::fprintf(stderr, "\n");
}

// Seconds for one download through the exported functions, ending at the
// first poll that finds it finished; negative on failure.
double downloadOurs(const Setup& s, int handle, const PatchElement& e, const std::string& dir,
                    std::string& copy) {
    zanthbench::warmPages(s.workDir, e.patchSize);
    const auto started = Clock::now();
    if (tavoPatchDownloadStart(handle, &e, dir.c_str()) != 0) {
        std::fprintf(stderr, "download start refused\n");
        printErrorCodes();
        return -1;
    }
    DownloadProgress progress{};
    while (tavoPatchDownloadIsBusy(handle, &progress) == 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(s.pollMs));
    const double took = seconds(started);
    char path[1024] = {};
    const int rc = tavoPatchDownloadGetResponse(handle, path, sizeof path);
    copy = path;
    if (rc != 0) {
        std::fprintf(stderr, "download failed (%d)\n", rc);
        printErrorCodes();
        return -1;
    }
    if (progress.already != 0 || progress.size != e.patchSize) {
        std::fprintf(stderr, "download resumed or short: already %llu size %llu\n",
                     static_cast<unsigned long long>(progress.already),
                     static_cast<unsigned long long>(progress.size));
        return -1;
    }
    return sameAsSource(s, copy) ? took : -1;
}

// Seconds for one `curl -s --noproxy '*' -o FILE URL`; negative on failure.
double downloadCurl(const Setup& s, const std::string& copy, uint64_t size) {
    zanthbench::warmPages(s.workDir, size);
    const auto started = Clock::now();
    const int status = runProgram({"curl", "-s", "--noproxy", "*", "-o", copy, s.fileUrl});
    const double took = seconds(started);
    if (status != 0) {
        std::fprintf(stderr, "curl failed (status %d)\n", status);
        return -1;
    }
    return sameAsSource(s, copy) ? took : -1;
}

bool parse(int argc, char** argv, Setup& s) {
    if (argc < 5) return false;
    s.source = argv[1];
    s.fileUrl = argv[2];
    s.tokenHost = argv[3];
    s.workDir = argv[4];
    if (argc > 5) s.rounds = std::atoi(argv[5]);
    if (argc > 6) s.pollMs = std::atoi(argv[6]);
    return s.rounds >= 1 && s.pollMs >= 1;
}

int session(const Setup& s) {
    const int handle = tavoPatchInitialize("game", "file/1/0a");
    tavo::PatchSession* patchSession = tavo::findSession(handle);
    if (handle < 0 || patchSession == nullptr) return -1;
    // What a version check would have left for the token request.
    tavo::KindState& state = patchSession->current();
    state.versionCheck.server = s.tokenHost;
    state.results.uniqueId = "bench";
    return handle;
}

}  // namespace

int main(int argc, char** argv) {
    Setup s;
    if (!parse(argc, argv, s)) {
        std::fprintf(stderr, "usage: bench_download SOURCE FILE_URL TOKEN_HOST WORK_DIR [rounds] [poll ms]\n");
        return 2;
    }
    struct stat st {};
    PatchElement element;
    if (stat(s.source.c_str(), &st) != 0 || st.st_size <= 0 ||
        !makeElement(s, static_cast<uint64_t>(st.st_size), element)) {
        std::fprintf(stderr, "cannot hash %s\n", s.source.c_str());
        return 1;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    const std::string downloadDir = s.workDir + "/download";
    const std::string curlCopy = s.workDir + "/curl.patch";
    mkdir(downloadDir.c_str(), 0755);
    const int handle = session(s);
    if (handle < 0) {
        std::fprintf(stderr, "cannot open a patch session\n");
        return 1;
    }
    std::printf("from %s, token from %s:80, polled every %d ms, %d rounds each, best round counts\n",
                s.fileUrl.c_str(), s.tokenHost.c_str(), s.pollMs, s.rounds);
    double bestOurs = 0;
    double bestCurl = 0;
    for (int round = 1; round <= s.rounds; ++round) {
        std::string ourCopy;
        const double ours = downloadOurs(s, handle, element, downloadDir, ourCopy);
        if (!ourCopy.empty()) clearCopy(ourCopy);
        const double curl = ours > 0 ? downloadCurl(s, curlCopy, size) : -1;
        clearCopy(curlCopy);
        if (ours <= 0 || curl <= 0) {
            tavoPatchFinalize(handle);
            return 1;
        }
        const double oursRate = megabytesPerSecond(size, ours);
        const double curlRate = megabytesPerSecond(size, curl);
        std::printf("round %d: tavoPatchDownload %8.1f MB/s   curl %8.1f MB/s\n", round, oursRate, curlRate);
        bestOurs = std::max(bestOurs, oursRate);
        bestCurl = std::max(bestCurl, curlRate);
    }
    tavoPatchFinalize(handle);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("tavoPatchDownload (to disk):  %.1f MB/s\n", bestOurs);
    std::printf("curl -s -o FILE:              %.1f MB/s\n", bestCurl);
    std::printf("ratio (ours / curl):          %.2f (target >= 0.80)\n", bestOurs / bestCurl);
    std::printf("peak resident memory:         %.1f MiB (target < 64 MiB: %s)\n", usage.ru_maxrss / 1024.0,
                usage.ru_maxrss < kMemoryTargetKiB ? "met" : "missed");
    return 0;
}
