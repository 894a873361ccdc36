// zanth-sample-game --seed N --builds K OUT: writes OUT/build1 ... OUT/buildK.
#include <cstdio>
#include <cstring>
#include <string>

#include "SampleGame.h"

namespace {

constexpr const char* kUsage =
    "usage: zanth-sample-game [--small] --seed N --builds K OUT\n"
    "Writes K successive builds of a synthetic game installation to OUT/build1\n"
    "(oldest) ... OUT/buildK; the same seed always gives the same builds.\n"
    "  --seed N     seed of the generator (unsigned integer)\n"
    "  --builds K   number of builds, 1 to 100\n"
    "  --small      smaller files (for quick tests)\n";

bool parseNumber(const char* text, unsigned long long& value)
{
    char* end = nullptr;
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    value = std::strtoull(text, &end, 10);
    return *end == '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long long seed = 0, builds = 0;
    bool haveSeed = false, small = false;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--seed" && i + 1 < argc && parseNumber(argv[i + 1], seed)) {
            haveSeed = true;
            ++i;
        } else if (arg == "--builds" && i + 1 < argc && parseNumber(argv[i + 1], builds)) {
            ++i;
        } else if (arg == "--small") {
            small = true;
        } else if (!arg.starts_with("-") && out.empty()) {
            out = arg;
        } else {
            std::fprintf(stderr, "zanth-sample-game: bad argument '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (!haveSeed || builds < 1 || builds > 100 || out.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const zanth::tools::SampleGame game(
        seed, small ? zanth::tools::SampleScale::small() : zanth::tools::SampleScale::standard());
    zanth::tools::SampleTree tree = game.firstBuild();
    for (unsigned number = 1; number <= builds; ++number) {
        if (number > 1)
            game.evolve(tree, number);
        std::string error;
        const std::string directory = out + "/build" + std::to_string(number);
        if (!zanth::tools::writeSampleTree(tree, directory, error)) {
            std::fprintf(stderr, "zanth-sample-game: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s: %zu files\n", directory.c_str(), tree.files.size());
    }
    return 0;
}
