// zanth-patch-server: the reference version-check, token and file service for
// one repository folder.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "HttpServer.h"
#include "Manifest.h"
#include "NginxConfig.h"
#include "PatchService.h"

namespace {

using namespace zanth::tools;

constexpr const char* kUsage =
    "usage: zanth-patch-server --repository DIR [--listen ADDR:PORT] [--nginx-config]\n"
    "Serves the version chain of DIR/manifest.json: the version check\n"
    "(POST /http/PLATFORM/REPOSITORY/VERSION/SESSIONID and\n"
    "GET /http/PLATFORM/REPOSITORY/VERSION/?time=...), the token request\n"
    "POST /gen_token and the signed patch addresses GET /patch/REPOSITORY/FILE.\n"
    "  --listen ADDR:PORT  IPv4 address and port to listen on (default 0.0.0.0:80)\n"
    "  --nginx-config      print an nginx server block that serves the patch files\n"
    "                      with the same signed addresses (listening on --listen) and exit\n"
    "Logs one line per request on standard error; stops on SIGINT or SIGTERM.\n";

struct Options {
    std::string repository;
    std::string listen = "0.0.0.0:80";
    bool nginx = false;
};

bool parseOptions(int argc, char** argv, Options& o, bool& help)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            help = true;
        else if (arg == "--nginx-config")
            o.nginx = true;
        else if (arg == "--repository" && i + 1 < argc)
            o.repository = argv[++i];
        else if (arg == "--listen" && i + 1 < argc)
            o.listen = argv[++i];
        else {
            std::fprintf(stderr, "zanth-patch-server: bad argument '%s'\n", arg.c_str());
            return false;
        }
    }
    return help || !o.repository.empty();
}

int waitForStopSignal(const sigset_t& signals)
{
    int number = 0;
    while (sigwait(&signals, &number) != 0) {
    }
    return number;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    bool help = false;
    if (!parseOptions(argc, argv, options, help) || help) {
        std::fputs(kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    std::string address, error;
    uint16_t port = 0;
    if (!parseListenAddress(options.listen, address, port)) {
        std::fprintf(stderr, "zanth-patch-server: --listen %s: not ADDR:PORT\n", options.listen.c_str());
        return 2;
    }
    Manifest manifest;
    if (!loadRepository(options.repository, manifest, error)) {
        std::fprintf(stderr, "zanth-patch-server: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    const std::string repositoryDir = std::filesystem::absolute(options.repository, ec).string();
    if (options.nginx) {
        std::fputs(nginxServerBlock(manifest, repositoryDir, address + ":" + std::to_string(port)).c_str(), stdout);
        return 0;
    }
    // The signals are taken by sigwait on this thread only.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const PatchService service(manifest, repositoryDir);
    HttpServer server(service, [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    if (!server.start(address, port, error)) {
        std::fprintf(stderr, "zanth-patch-server: cannot listen on %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "zanth-patch-server: repository '%s' (%zu patches, base %s) on %s:%u\n",
                 manifest.repository.c_str(), manifest.patches.size(), manifest.baseVersion.c_str(),
                 address.c_str(), static_cast<unsigned>(server.port()));
    const int number = waitForStopSignal(signals);
    server.stop();
    std::fprintf(stderr, "zanth-patch-server: stopped on signal %d\n", number);
    return 0;
}
