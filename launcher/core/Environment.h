// The built-in table of server environments: endpoints, folders, page roots,
// window titles and the trace switch per environment type and variant.
#pragma once

#include <string>

namespace zanth {

inline constexpr char kLobbyPort[] = "54994";
inline constexpr char kRepositoryName[] = "brinq_release_ko_game";
inline constexpr char kBaseVersion[] = "2012.01.01.0000.0000";
inline constexpr char kLauncherTitle[] = "ZANTH - KOREA LAUNCHER";
inline constexpr char kLauncherVersion[] = "2016.01.28.0000.0001";
// Below the user's Documents folder; the download folder of a row lies in it.
inline constexpr char kDownloadRoot[] = "My Games/ZANTH - KOREA";

// The five endpoint texts, named after the override keys that set them.
struct Endpoints {
    std::string lobbyHost;          // LOBBY_HOST
    std::string lobbyPort;          // LOBBY_PORT
    std::string gmServerHost;       // GMSERVER_HOST
    std::string versionCheckServer; // GAME_VERSION_CHECK_SERVER
    std::string repository;         // REPOSITORY

    bool complete() const;
    bool operator==(const Endpoints&) const = default;
};

struct EnvironmentRow {
    const char* name;
    const char* lobbyHost;
    const char* gmServerHost;
    const char* versionCheckServer;
    const char* downloadFolder;
    const char* gameFolder;
};

const EnvironmentRow& environmentRow(int type, bool variant);
Endpoints endpointsOf(const EnvironmentRow& row);

// The leading decimal integer of a command-line text (leading white space and
// a sign allowed); a text without one gives 0.
int parseEnvironmentType(const char* text);

std::string pageRoot(int type);
// "ZANTH - KOREA LAUNCHER 2016.01.28.0000.0001" and the type's suffix.
std::string windowTitle(int type);
bool traceSwitch(int type);

inline constexpr int kUnattendedType = 4;

}  // namespace zanth
