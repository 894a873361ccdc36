// The repository manifest: one version chain, the patch file of each step and
// the figures of its patch-list line, plus the secret of the signed file
// addresses. Stored as DIR/manifest.json.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zanth::tools {

constexpr const char* kManifestName = "manifest.json";
constexpr uint64_t kDefaultLinkLifetime = 3600;
constexpr std::size_t kMinSecretLength = 16;

struct ManifestPatch {
    std::string version;  // the version this patch leads to
    std::string file;     // file name inside the repository folder
    std::string url;      // address in the patch list; empty: derived by the server
    std::string extraText;
    uint64_t patchSize = 0;
    uint64_t installFileSize = 0;
    uint64_t hashBlockSize = 0;
    std::string hashes;
};

struct Manifest {
    std::string repository = "game";
    std::string platform = "win32";
    std::string baseVersion;
    std::string linkSecret;
    uint64_t linkLifetime = kDefaultLinkLifetime;
    std::string fileBaseUrl;  // where signed file addresses point; empty: the request's host
    std::vector<ManifestPatch> patches;

    // 0 for the base version, i for the version patches[i-1] leads to, -1 unknown.
    int versionIndex(const std::string& version) const;
    const ManifestPatch* findFile(const std::string& file) const;
};

// Structure and values only; `problem` names the member at fault.
bool parseManifest(const std::string& json, Manifest& manifest, std::string& problem);
std::string manifestJson(const Manifest& manifest);

// Reads DIR/manifest.json and checks it against the patch files (presence,
// size and block hashes). `error` names the file and the problem.
bool loadRepository(const std::string& directory, Manifest& manifest, std::string& error);
bool saveManifest(const Manifest& manifest, const std::string& path, std::string& error);

// A file name that can stand in a URL path and in the repository folder.
bool isSafeFileName(const std::string& name);

}  // namespace zanth::tools
