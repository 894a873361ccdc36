// Installer throughput through the exported functions, against references
// measured in the same run:
//  (a) "A" commands writing archive data, against `cp` of the same bytes;
//  (b) compressed "F" add blocks, against zlib's raw inflate of the same
//      blocks in a tight loop.
//
//   bench_install [archive bytes] [file bytes] [rounds]
//   defaults: 1073741824, 536870912, 3; the best round of each side counts.
//
// Page cache: every input (patch files, the cp source) is written, synced
// and read through once before timing, so both sides read from a warm cache;
// every output is removed before its run and the system is synced, so no
// writeback of an earlier run competes; neither side syncs its output inside
// the timing. In (a) each side's run is preceded by the same page warm-up
// (WarmPages.h). The sides alternate in order from round to round. All files
// live in one temporary folder (BENCH_TMPDIR, else TMPDIR, else /tmp).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchPatches.h"
#include "WarmPages.h"
#include "tavoPatch.h"

extern char** environ;

namespace fs = std::filesystem;
using installbench::CompressedBlock;

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kDefaultArchiveBytes = 1ull << 30;
constexpr uint64_t kDefaultFileBytes = 1ull << 29;
constexpr int kDefaultRounds = 3;
constexpr double kBytesPerMB = 1e6;
constexpr std::size_t kReadPiece = 1 << 20;
constexpr int kCodeCapacity = 32;
constexpr uint32_t kBlockBuffer = 16384;
constexpr double kTargetArchive = 0.5;
constexpr double kTargetInflate = 0.8;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Reads the whole file once (warming the cache); its CRC-32 when asked.
bool readThrough(const std::string& path, uint32_t* crc = nullptr) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::vector<unsigned char> piece(kReadPiece);
    uLong sum = crc32(0L, Z_NULL, 0);
    std::size_t n = 0;
    while ((n = std::fread(piece.data(), 1, piece.size(), f)) > 0) {
        if (crc != nullptr) sum = crc32(sum, piece.data(), static_cast<uInt>(n));
    }
    std::fclose(f);
    if (crc != nullptr) *crc = static_cast<uint32_t>(sum);
    return true;
}

std::string loadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void printCodes() {
    int codes[kCodeCapacity] = {};
    const int n = tavoPatchGetErrorCodes(codes, kCodeCapacity);
    for (int i = 0; i < n && i < kCodeCapacity; ++i) std::fprintf(stderr, " %d", codes[i]);
    std::fprintf(stderr, "\n");
}

// Seconds of one installation through the exported functions, from
// tavoPatchInstallStart to the end of polling; negative on failure.
double installOurs(const std::string& gameDir, const std::string& patchPath) {
    const int handle = tavoPatchInitialize("game", "BOOTHASH=bench");
    if (handle < 0) return -1;
    const auto started = Clock::now();
    bool ok = tavoPatchInstallStart(handle, gameDir.c_str(), patchPath.c_str()) == 0;
    InstallProgress progress{};
    while (ok && tavoPatchInstallIsBusy(handle, &progress) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double took = seconds(started);
    ok = ok && tavoPatchInstallGetResponse(handle) == 0;
    if (!ok) {
        std::fprintf(stderr, "installation failed, codes:");
        printCodes();
    }
    tavoPatchFinalize(handle);
    return ok ? took : -1;
}

double copyWithCp(const std::string& from, const std::string& to) {
    const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
    const auto started = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    const double took = seconds(started);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took : -1;
}

// Inflates every block into one 16384-byte buffer; `crc` (when not null)
// receives the CRC-32 of all output, for checking our file (untimed).
double inflateLoop(const std::vector<CompressedBlock>& blocks, uint64_t* produced, uint32_t* crc) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return -1;
    unsigned char out[kBlockBuffer];
    uLong sum = crc32(0L, Z_NULL, 0);
    uint64_t total = 0;
    bool ok = true;
    const auto started = Clock::now();
    for (const CompressedBlock& b : blocks) {
        inflateReset(&z);
        z.next_in = const_cast<Bytef*>(b.data);
        z.avail_in = b.compressedLength;
        z.next_out = out;
        z.avail_out = b.dataLength;
        ok = ok && inflate(&z, Z_FINISH) == Z_STREAM_END && z.total_out == b.dataLength;
        total += b.dataLength;
        if (crc != nullptr) sum = crc32(sum, out, b.dataLength);
    }
    const double took = seconds(started);
    inflateEnd(&z);
    *produced = total;
    if (crc != nullptr) *crc = static_cast<uint32_t>(sum);
    return ok ? took : -1;
}

void removeAndSync(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
    sync();
}

bool sameContent(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    std::vector<char> pa(kReadPiece);
    std::vector<char> pb(kReadPiece);
    while (fa && fb) {
        fa.read(pa.data(), static_cast<std::streamsize>(pa.size()));
        fb.read(pb.data(), static_cast<std::streamsize>(pb.size()));
        if (fa.gcount() != fb.gcount() || std::memcmp(pa.data(), pb.data(), fa.gcount()) != 0) return false;
    }
    return fa.eof() && fb.eof();
}

struct Best {
    double ours = 0;
    double reference = 0;
};

void keepBest(double& best, double took) { best = best == 0 ? took : std::min(best, took); }

struct Paths {
    std::string root;
    std::string game;
    std::string archive;
    std::string addedFile;
    std::string archivePatch;
    std::string filePatch;
    std::string cpSource;
    std::string cpTarget;
};

Paths makePaths() {
    const char* base = std::getenv("BENCH_TMPDIR");
    if (base == nullptr) base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/zanth-bench-install-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return {};
    Paths p{pattern, pattern + "/game", "", "", pattern + "/patches/archive.mendrel",
            pattern + "/patches/files.mendrel", pattern + "/ref/archive.data", pattern + "/ref/copy.data"};
    p.archive = p.game + "/" + installbench::kArchiveName;
    p.addedFile = p.game + "/" + installbench::kAddedFileName;
    fs::create_directories(fs::path(p.archive).parent_path());
    fs::create_directories(p.root + "/patches");
    fs::create_directories(p.root + "/ref");
    return p;
}

void printLine(const char* label, uint64_t bytes, const Best& best, const char* reference, double target) {
    const double ours = bytes / best.ours / kBytesPerMB;
    const double ref = bytes / best.reference / kBytesPerMB;
    const double ratio = ours / ref;
    std::printf("%s %llu bytes: ours %.1f MB/s, %s %.1f MB/s, ratio %.2f (target >= %.1f: %s)\n", label,
                static_cast<unsigned long long>(bytes), ours, reference, ref, ratio, target,
                ratio >= target ? "met" : "MISSED");
}

// (a): "A" commands against cp.
bool benchArchive(const Paths& p, uint64_t bytes, int rounds) {
    if (!installbench::writeArchivePatch(p.archivePatch, p.cpSource, bytes)) return false;
    sync();
    Best best;
    for (int round = 0; round < rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            const bool ours = (side + round) % 2 == 0;
            readThrough(ours ? p.archivePatch : p.cpSource);
            if (ours) {
                removeAndSync(p.archive);
                std::ofstream(p.archive, std::ios::binary);  // data file 0 exists, empty
                zanthbench::warmPages(p.root, bytes);
                const double took = installOurs(p.game, p.archivePatch);
                if (took < 0 || !sameContent(p.archive, p.cpSource)) {
                    std::fprintf(stderr, "(a) the archive does not hold the patch's data\n");
                    return false;
                }
                keepBest(best.ours, took);
            } else {
                removeAndSync(p.cpTarget);
                zanthbench::warmPages(p.root, bytes);
                const double took = copyWithCp(p.cpSource, p.cpTarget);
                if (took < 0) return false;
                keepBest(best.reference, took);
            }
        }
    }
    printLine("(a) archive data", bytes, best, "cp", kTargetArchive);
    removeAndSync(p.archive);
    removeAndSync(p.cpTarget);
    return true;
}

// (b): compressed "F" add blocks against the tight inflate loop.
bool benchInflate(const Paths& p, uint64_t bytes, int rounds) {
    if (!installbench::writeFileAddPatch(p.filePatch, bytes)) return false;
    sync();
    const std::string patch = loadFile(p.filePatch);
    std::vector<CompressedBlock> blocks;
    uint64_t produced = 0;
    uint32_t expectedCrc = 0;
    if (!installbench::listCompressedBlocks(patch, blocks) ||
        inflateLoop(blocks, &produced, &expectedCrc) < 0 || produced != bytes) {
        std::fprintf(stderr, "(b) the patch's blocks do not inflate to %llu bytes\n",
                     static_cast<unsigned long long>(bytes));
        return false;
    }
    Best best;
    for (int round = 0; round < rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            if ((side + round) % 2 == 0) {
                readThrough(p.filePatch);
                removeAndSync(p.addedFile);
                const double took = installOurs(p.game, p.filePatch);
                uint32_t crc = 0;
                if (took < 0 || !readThrough(p.addedFile, &crc) || crc != expectedCrc ||
                    fs::file_size(p.addedFile) != bytes) {
                    std::fprintf(stderr, "(b) the added file differs from the inflated blocks\n");
                    return false;
                }
                keepBest(best.ours, took);
            } else {
                const double took = inflateLoop(blocks, &produced, nullptr);
                if (took < 0) return false;
                keepBest(best.reference, took);
            }
        }
    }
    std::printf("    (patch %llu bytes, %zu compressed blocks)\n",
                static_cast<unsigned long long>(patch.size()), blocks.size());
    printLine("(b) file-add inflate", bytes, best, "zlib loop", kTargetInflate);
    removeAndSync(p.addedFile);
    return true;
}

uint64_t argument(int argc, char** argv, int index, uint64_t fallback) {
    return argc > index ? std::strtoull(argv[index], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t archiveBytes = argument(argc, argv, 1, kDefaultArchiveBytes);
    const uint64_t fileBytes = argument(argc, argv, 2, kDefaultFileBytes);
    const int rounds = static_cast<int>(std::max<uint64_t>(1, argument(argc, argv, 3, kDefaultRounds)));
    const Paths p = makePaths();
    if (p.root.empty()) {
        std::fprintf(stderr, "cannot create the temporary folder\n");
        return 1;
    }
    std::printf("installer benchmark in %s, best of %d rounds, %s\n", p.root.c_str(), rounds, tavoPatchGetVersion());
    const bool ok = benchArchive(p, archiveBytes, rounds) && benchInflate(p, fileBytes, rounds);
    std::error_code ignored;
    fs::remove_all(p.root, ignored);
    return ok ? 0 : 1;
}
