// Drives one update run through the bound patch library on the update
// thread: session, version check, then download and installation of every
// patch, and reports everything as posted notifications.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/LibraryBinding.h"
#include "core/NotificationQueue.h"
#include "core/ProgramPaths.h"
#include "core/SpeedHistory.h"

namespace zanth {

inline constexpr int kVersionCheckPort = 80;
inline constexpr char kDefaultPlatform[] = "win32";
inline constexpr char kDefaultScheme[] = "http";
inline constexpr char kGameRepositoryKind[] = "game";

struct ClientSettings {
    // The program whose file hash opens the session; its folder's parent
    // holds the game folder unless gameDirectory is set.
    std::string programPath = programFilePath();
    std::string gameDirectory;
    // Whose drive the disk-space check looks at; the program's folder when empty.
    std::string diskCheckPath;
    std::function<DiskSpace(const std::string&)> diskSpace = queryDiskSpace;
};

struct RunParameters {
    std::string server;
    std::string scheme = kDefaultScheme;
    std::string platform = kDefaultPlatform;
    std::string repository;
    std::string currentVersion;
    std::string installDirectory;
    std::string downloadDirectory;
    int environmentType = 0;
    bool environmentVariant = false;
};

class PatchLibraryClient {
public:
    explicit PatchLibraryClient(ClientSettings settings = {});
    ~PatchLibraryClient();
    PatchLibraryClient(const PatchLibraryClient&) = delete;
    PatchLibraryClient& operator=(const PatchLibraryClient&) = delete;

    void setNotifyQueue(NotificationQueue* queue) { notify_ = queue; }
    int LoadFunctionAddresses(const std::string& path);
    bool bound() const { return binding_.bound(); }

    std::string gameDirectory(int type, bool variant) const;
    std::string ReadGameVersion(int type, bool variant);
    void WriteGameVersion(const char* version, int type, bool variant);

    // 0 after a finished or cancelled run, -1 after a failed one. The run
    // lowers the stop flag itself unless the starter did so already with
    // armStop (then a cancel that comes before the thread runs is kept).
    int RunUpdate(const RunParameters& run, bool lowerStopFlag = true);
    void armStop() { stopRequested_.store(false); }
    void requestStop() { stopRequested_.store(true); }
    bool stopRequested() const { return stopRequested_.load(); }

    // Figures and texts of the run (update thread only).
    void PushSpeed(std::uint64_t speed);
    std::uint64_t GetAverageSpeed();
    std::string BuildErrorText();

private:
    enum class Ending { Finish, Cancel, Fail };
    struct Session;

    Ending runSession(Session& s);
    Ending updatePatch(Session& s, int index);
    Ending pollDownload(Session& s, DownloadProgress& progress);
    Ending installPatch(Session& s, const PatchElement& element, const char* patchFile);
    int endRun(Ending ending, Session& s);
    std::string sessionParameter();

    void post(int wParam, int value, NotifyPayload payload = {});
    void PostStatus(int status);
    void PostErrorText(const std::string& text);
    void PostErrorCode(int code);
    void PostDownloadPos(std::uint64_t done, std::uint64_t total);
    void PostDownloadInfo(DownloadInfo info);
    void PostInstallInfo(const InstallProgress& progress);
    void PostRestFileTimeAndPatchFileCount(std::uint64_t rest, const char* counter);
    void PostLastVersion(const char* version);
    void PostInstalledVersion(const char* version);
    void postEmptyDownload();

    const PatchLibraryFunctions& fn() const { return binding_.functions(); }

    ClientSettings settings_;
    LibraryBinding binding_;
    NotificationQueue* notify_ = nullptr;
    std::atomic<int> sessionHandle_{-1};
    std::atomic<bool> stopRequested_{true};
    std::mutex runLock_;
    SpeedHistory speedHistory_;
    int lastStatus_ = 0;
    std::mutex versionMutex_;
    std::string versionText_;  // last version read or written, at most 259 bytes
    std::uint64_t diskReserve_ = 0;  // free bytes for the one disk check; 0 = no check
    std::uint64_t driveTotal_ = 0;
};

}  // namespace zanth
