// zanth-update: one update run of a game installation, driven exactly as the
// launcher drives it, with the messages shown in the terminal.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/DebugTrace.h"
#include "core/EnvironmentState.h"
#include "core/NotificationQueue.h"
#include "core/TavoPatchManager.h"
#include "core/UnattendedVariant.h"
#include "update/Renderer.h"
#include "update/UpdateOptions.h"

using namespace zanth;

namespace {

enum ExitStatus { kExitFinished = 0, kExitFailed = 1, kExitSetup = 2, kExitCancelled = 3 };

constexpr auto kDrainWait = std::chrono::milliseconds(100);

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) { g_interrupted = 1; }

std::string defaultDownloadDir(const EnvironmentRow& row) {
    const char* home = std::getenv("HOME");
    const std::string documents = std::string(home != nullptr ? home : ".") + "/Documents";
    return documents + "/" + kDownloadRoot + "/" + row.downloadFolder;
}

struct Run {
    const UpdateOptions& options;
    EnvironmentState environment;
    Renderer& out;
    NotificationQueue queue;
    TavoPatchManager* manager = nullptr;
    std::optional<int> exitStatus;
};

// What the window does with each message, for the terminal.
void handle(Run& run, const Notification& m) {
    run.out.render(m);
    const int type = run.environment.type();
    const bool variant = run.environment.variant();
    switch (m.wParam) {
    case PATCH_NOTIFY_ERROR_TEXT: run.exitStatus = kExitFailed; break;
    case PATCH_NOTIFY_STATUS:
        if (m.value == kStatusFinished) run.exitStatus = kExitFinished;
        if (m.value == kStatusCancelled) run.exitStatus = kExitCancelled;
        if (m.value == kStatusStartFailed) run.exitStatus = kExitFailed;
        break;
    case PATCH_NOTIFY_VERSION:
        if (const auto* t = std::get_if<NotifyText>(&m.payload); t != nullptr && run.manager != nullptr)
            run.manager->WriteGameVersion(t->text.c_str(), type, variant);
        break;
    default: break;
    }
}

void drain(Run& run) {
    while (auto m = run.queue.tryNext()) handle(run, *m);
}

int runUpdate(Run& run) {
    const UpdateOptions& o = run.options;
    const bool variant = o.variant.has_value()     ? *o.variant
                         : run.environment.type() == kUnattendedType ? variantFromAddress(firstIpv4Address())
                                                                     : false;
    run.environment.selectEndpoints(variant);
    const Endpoints& endpoints = run.environment.endpoints();
    const std::string server = o.server.empty() ? endpoints.versionCheckServer : o.server;
    const std::string repository = o.repository.empty() ? endpoints.repository : o.repository;
    const std::string downloadDir = o.downloadDir.empty() ? defaultDownloadDir(run.environment.row()) : o.downloadDir;

    std::error_code ec;
    std::filesystem::create_directories(downloadDir, ec);
    if (ec || !std::filesystem::is_directory(downloadDir)) {
        run.out.note("setup_error", "download directory " + downloadDir + " cannot be created: " +
                                        (ec ? ec.message() : "not a directory"));
        return kExitSetup;
    }

    ClientSettings settings;
    settings.gameDirectory = o.installDir;
    // The patches land in the download folder, so that is the drive to check.
    settings.diskCheckPath = downloadDir;
    TavoPatchManager manager(settings);
    run.manager = &manager;
    if (!manager.Initialize(&run.queue)) {
        run.queue.post(Notification{PATCH_NOTIFY_ERROR_TEXT, 0, NotifyText{kInitializeFailText}});
        drain(run);
        return kExitSetup;
    }
    const std::string current = o.currentVersion.empty() ? manager.ReadGameVersion(run.environment.type(), variant)
                                                         : o.currentVersion;
    run.out.note("current_version", current);
    if (!manager.StartUpdate(server, kVersionCheckPort, o.scheme, kDefaultPlatform, repository, downloadDir,
                             o.installDir, current, run.environment.type(), variant))
        run.queue.post(Notification{PATCH_NOTIFY_STATUS, kStatusStartFailed, {}});

    bool cancelled = false;
    while (!run.exitStatus) {
        if (g_interrupted && !cancelled) {
            cancelled = true;
            run.out.note("cancel", "cancelling the update");
            manager.CancelUpdate();
        }
        if (auto m = run.queue.waitNext(kDrainWait)) handle(run, *m);
    }
    manager.CancelUpdate();  // the thread has ended or is about to: wait for it
    drain(run);
    run.manager = nullptr;
    return *run.exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseUpdateOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "zanth-update: %s\n\n%s", error.c_str(), updateUsage());
        return kExitSetup;
    }
    if (options->help) {
        std::fputs(updateUsage(), stdout);
        return kExitFinished;
    }

    std::unique_ptr<Renderer> renderer = options->json ? makeJsonRenderer() : makeTerminalRenderer();
    Run run{*options, {}, *renderer, {}, nullptr, std::nullopt};
    run.environment.chooseAtStart(options->type.c_str(), options->endpointsJson.c_str());
    if (options->trace) setTraceEnabled(*options->trace);

    struct sigaction action{};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    try {
        return runUpdate(run);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zanth-update: %s\n", e.what());
        return kExitFailed;
    }
}
