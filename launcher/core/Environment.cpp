#include "core/Environment.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "DeploymentConfig.h"

namespace zanth {

namespace {

namespace dep = deployment;

enum RowIndex { kLive, kLive2, kCore, kHType, kHDash };

constexpr EnvironmentRow kRows[] = {
    {"first live environment", dep::kLiveLobbyHost, dep::kLiveGmHost, dep::kLiveVersionCheckHost,
     "pomble_download", "game"},
    {"second live environment", dep::kLive2LobbyHost, dep::kLive2GmHost, dep::kLive2VersionCheckHost,
     "brevani_download", "game"},
    {"core test system", dep::kCoreLobbyHost, dep::kCoreGmHost, dep::kCoreVersionCheckHost,
     "core_download", "game"},
    {"H type", dep::kHTypeLobbyAddress, dep::kHTypeGmAddress, dep::kHTypeVersionCheckAddress,
     "htype_download", "game_h_type"},
    {"H-dash type", dep::kHDashLobbyAddress, dep::kCoreGmHost, dep::kHDashVersionCheckAddress,
     "hdash_type_download", "game_hdash_type"},
};

enum class PageServer { Launcher, Development };

struct TypeSettings {
    int type;
    PageServer page;
    const char* titleSuffix;
    bool trace;
};

constexpr TypeSettings kTypes[] = {
    {0, PageServer::Launcher, "", false},
    {1, PageServer::Development, " [CORE-SYSTEM]", true},
    {2, PageServer::Development, " [H TYPE]", true},
    {3, PageServer::Development, "", true},
    {4, PageServer::Launcher, "", true},
};
constexpr TypeSettings kOtherType = {-1, PageServer::Launcher, "", true};

const TypeSettings& settingsOf(int type) {
    for (const TypeSettings& t : kTypes)
        if (t.type == type) return t;
    return kOtherType;
}

}  // namespace

bool Endpoints::complete() const {
    return !lobbyHost.empty() && !lobbyPort.empty() && !gmServerHost.empty() &&
           !versionCheckServer.empty() && !repository.empty();
}

const EnvironmentRow& environmentRow(int type, bool variant) {
    switch (type) {
    case 1: return kRows[kCore];
    case 2: return kRows[variant ? kHDash : kHType];
    default: return kRows[variant ? kLive2 : kLive];
    }
}

Endpoints endpointsOf(const EnvironmentRow& row) {
    return Endpoints{row.lobbyHost, kLobbyPort, row.gmServerHost, row.versionCheckServer, kRepositoryName};
}

int parseEnvironmentType(const char* text) {
    if (text == nullptr) return 0;
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::string pageRoot(int type) {
    return settingsOf(type).page == PageServer::Development ? dep::kDevelopmentWebRoot
                                                            : dep::kLauncherWebRoot;
}

std::string windowTitle(int type) {
    return std::string(kLauncherTitle) + " " + kLauncherVersion + settingsOf(type).titleSuffix;
}

bool traceSwitch(int type) { return settingsOf(type).trace; }

}  // namespace zanth
