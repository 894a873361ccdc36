// One library session: the repository kind, the parameters and results of its
// operations, the operation workers and the session's HTTP client.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OperationWorker.h"
#include "tavoPatch.h"

namespace tavo {

class HttpSession;
class SessionHttpClient;

enum class RepositoryKind : int { Boot = 0, Game = 1 };

// One line of the patch list.
struct PatchListEntry {
    std::string url;
    uint64_t patchSize = 0;
    uint64_t installFileSize = 0;
    uint64_t extra1 = 0;
    uint64_t extra2 = 0;
    std::string version;
    std::string extraText;
    uint64_t hashBlockSize = 0;
    std::string hashes;
};

struct VersionCheckParams {
    std::string scheme;
    std::string server;
    int port = 0;
    std::string pathPrefix;  // always empty in this system
    std::string platform;
    std::string pathWord = "http";
    std::string bootHash;  // game kind only
    std::string repository;
    std::string currentVersion;
};

constexpr int kModuleUnknown = -1;

struct VersionCheckResults {
    int moduleKind = kModuleUnknown;  // 0 Mendrel, 1 RTPatch, 2 VcdPatch
    std::vector<PatchListEntry> patchList;
    std::string uniqueId;  // game kind only
};

struct DownloadParams {
    std::string tokenScheme = "http";
    std::string tokenServer;
    int tokenPort = 80;
    std::string tokenPath = "/gen_token";
    std::string uniqueId;
    std::string patchUrl;
    std::string downloadDirectory;
    bool ok = false;
    std::string resultPath;
    DownloadProgress progress{};
};

// The parameter set, results and workers of one repository kind.
struct KindState {
    VersionCheckParams versionCheck;
    VersionCheckResults results;
    DownloadParams download;
    std::unique_ptr<VersionCheckWorker> versionCheckWorker;
    std::unique_ptr<DownloadWorker> downloadWorker;
};

class PatchSession {
public:
    explicit PatchSession(RepositoryKind kind);
    ~PatchSession();
    PatchSession(const PatchSession&) = delete;
    PatchSession& operator=(const PatchSession&) = delete;

    RepositoryKind kind() const { return kind_; }
    KindState& current() { return kind_ == RepositoryKind::Game ? game_ : boot_; }
    // Null when the session's HTTP client could not be set up.
    HttpSession* httpSession() const;

    std::string sessionId;
    std::string bootHash;
    std::string installDirectory;
    std::string installPatchPath;
    std::unique_ptr<InstallWorker> installer;

private:
    RepositoryKind kind_;
    KindState game_;
    KindState boot_;
    std::unique_ptr<SessionHttpClient> http_;
};

}  // namespace tavo
