// Owner of one update run: binds the patch library through its client,
// starts the update thread and cancels or waits for it.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/PatchLibraryClient.h"

namespace zanth {

inline constexpr auto kCancelWait = std::chrono::milliseconds(5000);
inline constexpr char kInitializeFailText[] = "m_pTavoPatchManager Initialize Fail";

class TavoPatchManager {
public:
    explicit TavoPatchManager(ClientSettings settings = {});
    // Stops a running update as CancelUpdate does, then unloads the library.
    ~TavoPatchManager();
    TavoPatchManager(const TavoPatchManager&) = delete;
    TavoPatchManager& operator=(const TavoPatchManager&) = delete;

    // Binds the library (libtavoPatch.so next to the program unless a path is
    // given); false when the file or an export is missing.
    bool Initialize(NotificationQueue* queue, const std::string& libraryPath = defaultLibraryPath());
    std::string ReadGameVersion(int type, bool variant);
    void WriteGameVersion(const char* version, int type, bool variant);
    // The port is not used: the version check is always on port 80.
    bool StartUpdate(const std::string& server, int port, const std::string& scheme, const std::string& platform,
                     const std::string& repository, const std::string& downloadDirectory,
                     const std::string& installDirectory, const std::string& currentVersion, int type,
                     bool variant);
    // Raises the stop flag and waits for the update thread: 5000 ms, then on
    // with a trace that it is late, because the session and the game files
    // must not be left half-written.
    void CancelUpdate();

private:
    PatchLibraryClient& client();
    void runThread();
    void waitForThread();

    ClientSettings settings_;
    std::unique_ptr<PatchLibraryClient> client_;
    NotificationQueue* notify_ = nullptr;
    RunParameters run_;
    std::thread thread_;
    std::mutex doneMutex_;
    std::condition_variable doneSignal_;
    bool threadDone_ = false;
};

}  // namespace zanth
