#include "update/UpdateOptions.h"

#include <cstring>
#include <functional>

namespace zanth {

namespace {

struct ValueOption {
    const char* name;
    std::string UpdateOptions::*member;
};
constexpr ValueOption kValueOptions[] = {
    {"--install-dir", &UpdateOptions::installDir},
    {"--download-dir", &UpdateOptions::downloadDir},
    {"--server", &UpdateOptions::server},
    {"--repository", &UpdateOptions::repository},
    {"--scheme", &UpdateOptions::scheme},
    {"--endpoints", &UpdateOptions::endpointsJson},
    {"--type", &UpdateOptions::type},
    {"--current-version", &UpdateOptions::currentVersion},
};

struct FlagOption {
    const char* name;
    void (*apply)(UpdateOptions&);
};
constexpr FlagOption kFlags[] = {
    {"--variant", [](UpdateOptions& o) { o.variant = true; }},
    {"--no-variant", [](UpdateOptions& o) { o.variant = false; }},
    {"--trace", [](UpdateOptions& o) { o.trace = true; }},
    {"--no-trace", [](UpdateOptions& o) { o.trace = false; }},
    {"--json", [](UpdateOptions& o) { o.json = true; }},
    {"--help", [](UpdateOptions& o) { o.help = true; }},
    {"-h", [](UpdateOptions& o) { o.help = true; }},
};

}  // namespace

std::optional<UpdateOptions> parseUpdateOptions(int argc, char** argv, std::string& error) {
    UpdateOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool known = false;
        for (const FlagOption& flag : kFlags) {
            if (std::strcmp(arg, flag.name) == 0) {
                flag.apply(options);
                known = true;
            }
        }
        for (const ValueOption& option : kValueOptions) {
            if (known || std::strcmp(arg, option.name) != 0) continue;
            if (i + 1 >= argc) {
                error = std::string(option.name) + " needs a value";
                return std::nullopt;
            }
            options.*option.member = argv[++i];
            known = true;
        }
        if (!known) {
            error = std::string("unknown option ") + arg;
            return std::nullopt;
        }
    }
    if (!options.help && options.installDir.empty()) {
        error = "--install-dir is required";
        return std::nullopt;
    }
    return options;
}

const char* updateUsage() {
    return "usage: zanth-update --install-dir DIR [options]\n"
           "\n"
           "Runs one update run of the game installation in DIR, as the launcher does:\n"
           "version check, then download and installation of every patch, then the\n"
           "version file. libtavoPatch.so is loaded from this program's folder.\n"
           "\n"
           "  --install-dir DIR       the game installation (holds zanthgame.ver)\n"
           "  --download-dir DIR      where patch files are downloaded (created if missing);\n"
           "                          default: ~/Documents/My Games/ZANTH - KOREA/<folder of\n"
           "                          the environment>\n"
           "  --server HOST           version-check server (its port is always 80);\n"
           "                          default: the environment's\n"
           "  --repository NAME       repository; default: the environment's\n"
           "  --scheme http|https     scheme of the version check (default http)\n"
           "  --type N                environment type: 0 live, 1 core test, 2 H type,\n"
           "                          3 live with development page, 4 unattended (default 0)\n"
           "  --variant, --no-variant environment variant (second live, H-dash); for type 4\n"
           "                          it is taken from this machine's IPv4 address unless given\n"
           "  --endpoints JSON        endpoint override as the launcher's third argument:\n"
           "                          {\"LOBBY_HOST\":..,\"LOBBY_PORT\":..,\"GMSERVER_HOST\":..,\n"
           "                          \"GAME_VERSION_CHECK_SERVER\":..,\"REPOSITORY\":..}\n"
           "  --current-version V     version to update from; default: the installed one\n"
           "  --json                  one JSON object per message on standard output\n"
           "  --trace, --no-trace     diagnostic trace on standard error (default: on for\n"
           "                          every type but 0)\n"
           "  --help                  this text\n"
           "\n"
           "Exit status: 0 finished, 1 the run failed, 2 bad command line or the library\n"
           "could not be bound, 3 cancelled (Ctrl-C).\n";
}

}  // namespace zanth
