// Feeds arbitrary bytes as a patch file to the installer against a scratch
// installation folder. It must never crash, hang, or touch anything outside
// that folder (a sentinel file and the folder's siblings are checked).
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "install/MendrelApplier.h"
#include "install/ProcessState.h"

namespace fs = std::filesystem;

namespace {

// Large zero fills and far offsets end in a failed write instead of filling the disk.
constexpr rlim_t kFileSizeLimit = 1 << 20;
// Small enough to make the cache refill inside a patch.
constexpr uint32_t kReadCacheBytes = 4096;
const char* const kSentinelText = "outside the installation";

struct Scratch {
    fs::path root;
    fs::path game;
    fs::path patches;
    fs::path sentinel;
};

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

const Scratch& scratch() {
    static const Scratch s = [] {
        char pattern[] = "/tmp/zanth-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        Scratch out{pattern, fs::path(pattern) / "game", fs::path(pattern) / "patches",
                    fs::path(pattern) / "sentinel.txt"};
        writeText(out.sentinel, kSentinelText);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kFileSizeLimit, kFileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        tavo::installTuning() = {0, 0, kReadCacheBytes};
        return out;
    }();
    return s;
}

// A few archives in both folder layouts, loose files and a database file.
void buildGame(const Scratch& s) {
    writeText(s.game / "tvpack/0a0000.win32.dat0", std::string(512, 'o'));
    writeText(s.game / "tvpack/zanth/0a0000.win32.dat0", std::string(512, 'z'));
    writeText(s.game / "tvpack/ex1/0b0100.ko.win32.dat0", std::string(256, 'e'));
    writeText(s.game / "tvpack/zanth/_0a0000.win32.tvdb", "db");
    writeText(s.game / "movie/ex1/intro.bik", "movie");
    writeText(s.game / "zanthgame.ver", "1.0");
    writeText(s.patches / "0a0000.win32.tvdb", "new db");
}

std::set<std::string> rootEntries(const Scratch& s) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(s.root)) names.insert(entry.path().filename());
    return names;
}

void checkOutsideUntouched(const Scratch& s) {
    const std::set<std::string> expected = {"game", "patches", "sentinel.txt"};
    std::ifstream in(s.sentinel, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (rootEntries(s) != expected || text != kSentinelText) {
        std::fprintf(stderr, "installation wrote outside its folder\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Scratch& s = scratch();
    std::error_code ec;
    fs::remove_all(s.game, ec);
    fs::remove_all(s.patches, ec);
    buildGame(s);
    const fs::path patch = s.patches / "input.mendrel";
    {
        std::ofstream out(patch, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::atomic<int> cancelWord{0};
    {
        tavo::MendrelApplier applier(patch.string(), s.game.string());
        applier.apply(&cancelWord);
    }
    checkOutsideUntouched(s);
    return 0;
}
