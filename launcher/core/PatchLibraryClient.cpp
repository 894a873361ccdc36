#include "core/PatchLibraryClient.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "DeploymentConfig.h"
#include "core/DebugTrace.h"
#include "core/Environment.h"
#include "core/ErrorText.h"
#include "core/PatchNotify.h"

namespace zanth {

namespace {

using ull = unsigned long long;

constexpr auto kVersionCheckPoll = std::chrono::milliseconds(200);
constexpr auto kDownloadPoll = std::chrono::milliseconds(1000);
constexpr auto kInstallPoll = std::chrono::milliseconds(200);
constexpr std::int32_t kIdleInterval = 1000;
constexpr std::size_t kHashBufferSize = 256;
constexpr std::size_t kVersionBufferSize = 256;
constexpr std::size_t kPathBufferSize = 1024;
constexpr std::size_t kLastVersionBytes = 63;
constexpr std::size_t kVersionTextBytes = 259;
constexpr std::size_t kCounterBytes = 7;

std::string cut(const char* text, std::size_t limit) {
    return std::string(text, strnlen(text, limit));
}

// Milliseconds of a free-running 32-bit tick counter.
std::uint32_t tickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// "%03d/%03d" cut to 7 characters.
std::string patchCounter(int index, int count) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%03d/%03d", index + 1, count);
    return cut(text, kCounterBytes);
}

bool exceedsDiskReserve(std::uint64_t total, std::uint64_t reserve) {
    return 3 * total / 2 > reserve;
}

}  // namespace

// State of one run shared by its steps.
struct PatchLibraryClient::Session {
    const RunParameters& run;
    std::unique_lock<std::mutex> runLock;
    int handle = -1;
    int count = 0;
    std::string counter;
};

PatchLibraryClient::PatchLibraryClient(ClientSettings settings) : settings_(std::move(settings)) {
    DebugTrace("0\n");
}

PatchLibraryClient::~PatchLibraryClient() {
    DebugTrace("~0\n");
    binding_.unload();
}

int PatchLibraryClient::LoadFunctionAddresses(const std::string& path) {
    DebugTrace("1\n");
    return binding_.load(path);
}

std::string PatchLibraryClient::gameDirectory(int type, bool variant) const {
    if (!settings_.gameDirectory.empty()) return settings_.gameDirectory;
    return gameDirectoryFor(folderOf(settings_.programPath), type, variant);
}

std::string PatchLibraryClient::ReadGameVersion(int type, bool variant) {
    DebugTrace("2\n");
    std::string version = kBaseVersion;
    if (bound()) {
        const std::string directory = gameDirectory(type, variant);
        char buffer[kVersionBufferSize] = {};
        const int r = fn().getVersionName(directory.c_str(), kGameRepositoryKind, buffer, sizeof buffer);
        if (r == TAVOPATCH_OK) {
            version = cut(buffer, sizeof buffer - 1);
        } else if (r == TAVOPATCH_NO_VERSION_FILE) {
            DebugTrace("[Error] version file not found.[%d]\n", r);
            std::error_code ec;
            std::filesystem::create_directories(directory, ec);
        } else {
            DebugTrace("[Error] failed to tavoPatchGetVersionName.[%d]\n", r);
        }
    }
    std::lock_guard<std::mutex> lock(versionMutex_);
    versionText_ = version;
    return versionText_;
}

void PatchLibraryClient::WriteGameVersion(const char* version, int type, bool variant) {
    DebugTrace("3\n");
    if (version == nullptr) return;
    if (!bound() ||
        fn().setVersionName(gameDirectory(type, variant).c_str(), kGameRepositoryKind, version) != TAVOPATCH_OK)
        DebugTrace("[Error] !!!failed to tavoPatchSetVersionName\n");
    std::lock_guard<std::mutex> lock(versionMutex_);
    versionText_ = cut(version, kVersionTextBytes);
}

// ---- figures and error text ----

void PatchLibraryClient::PushSpeed(std::uint64_t speed) {
    DebugTrace("16\n");
    DebugTrace("[Information] speed=[%llu]\n", static_cast<ull>(speed));
    speedHistory_.push(speed);
}

std::uint64_t PatchLibraryClient::GetAverageSpeed() {
    DebugTrace("17\n");
    const std::uint64_t average = speedHistory_.average();
    std::string samples;
    for (std::uint64_t s : speedHistory_.samples()) samples += std::to_string(static_cast<long long>(s)) + "=";
    DebugTrace("[Information] all speed [%s] avg=[%llu]\n", samples.c_str(), static_cast<ull>(average));
    return average;
}

std::string PatchLibraryClient::BuildErrorText() {
    DebugTrace("4\n");
    int codes[kMaxErrorCodes] = {};
    const int n = bound() ? fn().getErrorCodes(codes, kMaxErrorCodes) : 0;
    return composeErrorText(codes, n);
}

// ---- posting ----

void PatchLibraryClient::post(int wParam, int value, NotifyPayload payload) {
    if (notify_ != nullptr) notify_->post(Notification{wParam, value, std::move(payload)});
}

void PatchLibraryClient::PostStatus(int status) {
    DebugTrace("10\n");
    DebugTrace("[Information] status = %d\n", status);
    lastStatus_ = status;
    post(PATCH_NOTIFY_STATUS, status);
}

void PatchLibraryClient::PostErrorText(const std::string& text) {
    DebugTrace("11\n");
    DebugTrace("[Information] status = %s\n", text.c_str());
    if (text.empty()) {
        post(PATCH_NOTIFY_ERROR_TEXT, 0);
    } else {
        post(PATCH_NOTIFY_ERROR_TEXT, 0, NotifyText{text});
    }
}

void PatchLibraryClient::PostErrorCode(int code) {
    DebugTrace("12\n");
    DebugTrace("[Information] errCode = %d\n", code);
    post(PATCH_NOTIFY_ERROR_CODE, code);
}

void PatchLibraryClient::PostDownloadPos(std::uint64_t done, std::uint64_t total) {
    DebugTrace("6\n");
    DebugTrace("[Information] now[%llu], max[%llu]\n", static_cast<ull>(done), static_cast<ull>(total));
    const int pos = (done != 0 && total != 0) ? static_cast<int>(done * 100 / total) : 0;
    DebugTrace("[Information] PostDownloadPos now[%llu], max[%llu], pos[%d]\n", static_cast<ull>(done),
               static_cast<ull>(total), pos);
    post(PATCH_NOTIFY_DOWNLOAD_POS, pos);
}

void PatchLibraryClient::PostDownloadInfo(DownloadInfo info) {
    DebugTrace("PostDownloadInfo\n");
    DebugTrace("[Information] speed = %llu, interval=[%d], Download >> restSize[%llu], totalSize[%llu]\n",
               static_cast<ull>(info.speed), info.interval, static_cast<ull>(info.doneSize),
               static_cast<ull>(info.totalSize));
    if (info.interval <= 0) {
        DebugTrace("[Error] PostSpeedValue error.\n");
        return;
    }
    PushSpeed(info.speed);
    info.averageSpeed = GetAverageSpeed();
    post(PATCH_NOTIFY_DOWNLOAD_INFO, 0, info);
}

void PatchLibraryClient::PostInstallInfo(const InstallProgress& progress) {
    DebugTrace("9\n");
    DebugTrace("[Information] Install >> completed[%llu], totalSize[%llu]\n",
               static_cast<ull>(progress.completeSize), static_cast<ull>(progress.totalSize));
    StatusInfo info;
    info.completeSize = progress.completeSize;
    info.totalSize = progress.totalSize;
    post(PATCH_NOTIFY_INSTALL_INFO, 0, info);
}

void PatchLibraryClient::PostRestFileTimeAndPatchFileCount(std::uint64_t rest, const char* counter) {
    DebugTrace("PostRestFileTimeAndPatchFileCount\n");
    DebugTrace("[Information] restFileSize = %llu, PostPatchFileCount = %s\n", static_cast<ull>(rest), counter);
    RestTimeInfo info;
    info.minutes = remainingMinutes(rest, GetAverageSpeed());
    std::strncpy(info.patchCount, counter, sizeof info.patchCount - 1);
    post(PATCH_NOTIFY_REST_TIME, 0, info);
}

void PatchLibraryClient::PostLastVersion(const char* version) {
    DebugTrace("13\n");
    DebugTrace("[Information] lastVer = %s\n", version);
    post(PATCH_NOTIFY_LAST_VERSION, 0, NotifyText{cut(version, kLastVersionBytes)});
}

void PatchLibraryClient::PostInstalledVersion(const char* version) {
    DebugTrace("14\n");
    DebugTrace("[Information] GetVersion = %s\n", version);
    post(PATCH_NOTIFY_VERSION, 0, NotifyText{cut(version, kVersionTextBytes)});
}

void PatchLibraryClient::postEmptyDownload() {
    PostDownloadPos(0, 0);
    DownloadInfo info;
    info.interval = kIdleInterval;
    PostDownloadInfo(info);
}

// ---- the run ----

std::string PatchLibraryClient::sessionParameter() {
    char hash[kHashBufferSize] = {};
    if (fn().getFileHashString(settings_.programPath.c_str(), hash, sizeof hash) != TAVOPATCH_OK) {
        DebugTrace("!!!failed to patchGetFileHashString\n");
        return deployment::kBootFallbackHash;
    }
    return cut(hash, sizeof hash - 1);
}

int PatchLibraryClient::RunUpdate(const RunParameters& run, bool lowerStopFlag) {
    DebugTrace("15\n");
    DebugTrace("[Information] tvPatchVersionCheckServer[%s],tvPatchVersionCheckServerPort[%d],"
               "tvPatchVersionCheckScheme[%s],tvPatchReposName[%s],tvPatchCurrentVersionName[%s],"
               "tvPatchInstallDir[%s],tvPatchDownloadDir[%s],platform[%s]\n",
               run.server.c_str(), kVersionCheckPort, run.scheme.c_str(), run.repository.c_str(),
               run.currentVersion.c_str(), run.installDirectory.c_str(), run.downloadDirectory.c_str(),
               run.platform.c_str());
    DebugTrace("[Information] ------------------- game update start --------------------------\n");

    Session s{run, std::unique_lock<std::mutex>(runLock_), -1, 0, {}};
    if (lowerStopFlag) stopRequested_.store(false);

    const std::string diskPath =
        settings_.diskCheckPath.empty() ? folderOf(settings_.programPath) : settings_.diskCheckPath;
    const DiskSpace disk = settings_.diskSpace ? settings_.diskSpace(diskPath) : DiskSpace{};
    driveTotal_ = disk.total;
    diskReserve_ = disk.free;

    PostStatus(kStatusRunBegan);
    const std::string installed = ReadGameVersion(run.environmentType, run.environmentVariant);
    DebugTrace("[Information] patchVersion=%s\n", installed.c_str());

    const Ending ending = runSession(s);
    return endRun(ending, s);
}

PatchLibraryClient::Ending PatchLibraryClient::runSession(Session& s) {
    const RunParameters& run = s.run;
    const std::string parameter = sessionParameter();
    DebugTrace("Hash = %s\n", parameter.c_str());

    s.handle = fn().initialize(kGameRepositoryKind, parameter.c_str());
    if (s.handle < 0) {
        DebugTrace("[Information] !!! failed to tavoPatchInitialize [%d] \n", s.handle);
        return Ending::Fail;
    }
    const int h = s.handle;
    sessionHandle_.store(h);
    PostStatus(kStatusSessionOpen);
    DebugTrace("[Information] handle=%d, checkserver=%s, Port=%d,Scheme=%s, platform=%s, "
               "tvPatchReposName=%s, tvPatchCurrentVersionName=%s\n",
               h, run.server.c_str(), kVersionCheckPort, run.scheme.c_str(), run.platform.c_str(),
               run.repository.c_str(), run.currentVersion.c_str());

    int r = fn().versionCheckStart(h, run.server.c_str(), kVersionCheckPort, run.scheme.c_str(),
                                   run.platform.c_str(), run.repository.c_str(), run.currentVersion.c_str());
    if (r != TAVOPATCH_OK) {
        DebugTrace("[Information] !!! failed to tavoPatchVersionCheckStart errCode[%d] \n", r);
        return Ending::Fail;
    }
    while (fn().versionCheckIsBusy(h) != 0) {
        if (stopRequested_.load()) {
            DebugTrace("[Information] cancel to tavoPatchVersionCheckIsBusy=>tavoPatchVersionCheckCancel.\n");
            fn().versionCheckCancel(sessionHandle_.load());
            return Ending::Cancel;
        }
        std::this_thread::sleep_for(kVersionCheckPoll);
    }
    r = fn().versionCheckGetResponse(h);
    if (r != TAVOPATCH_OK) {
        if (stopRequested_.load()) {
            DebugTrace("[Information] cancel to tavoPatchVersionCheckGetResponse. \n");
            return Ending::Cancel;
        }
        DebugTrace("[Information] !!!failed to tavoPatchVersionCheckGetResponse, errCode[%d]\n", r);
        return Ending::Fail;
    }

    s.count = fn().getNumOfPatch(h);
    if (s.count < 0) {
        DebugTrace("[Information] !!!failed to tavoPatchGetNumOfPatch \n");
        return Ending::Fail;
    }
    DebugTrace("[Information] num of patch =%d\n", s.count);
    PostStatus(kStatusDownloading);

    speedHistory_.clear();
    postEmptyDownload();

    std::string lastVersion;
    if (s.count < 1) {
        lastVersion = cut(ReadGameVersion(run.environmentType, run.environmentVariant).c_str(), kLastVersionBytes);
    } else {
        PatchElement last{};
        if (fn().getPatchElement(h, &last, s.count - 1) != TAVOPATCH_OK) {
            DebugTrace("[Information] !!!failed to tavoPatchGetPatchElement [%d]\n", s.count - 1);
            return Ending::Fail;
        }
        lastVersion = cut(last.version, kLastVersionBytes);
    }
    PostLastVersion(lastVersion.c_str());

    for (int i = 0; i < s.count; ++i) {
        const Ending ending = updatePatch(s, i);
        if (ending != Ending::Finish) return ending;
    }
    return Ending::Finish;
}

// Download and installation of patch index; Finish means "go on".
PatchLibraryClient::Ending PatchLibraryClient::updatePatch(Session& s, int index) {
    const int h = s.handle;
    DebugTrace("[Information] DOWNLOADING: disk full, pos= 1, TotalBytes[%llu], freebytes.quadpart[%llu]\n",
               static_cast<ull>(driveTotal_), static_cast<ull>(diskReserve_));
    PatchElement element{};
    if (fn().getPatchElement(h, &element, index) != TAVOPATCH_OK) {
        DebugTrace("[Information] !!!failed to tavoPatchGetPatchElement [%d]\n", index);
        return Ending::Fail;
    }
    DebugTrace("[Information] DOWNLOADING: tavoPatchGetPatchElement patchSize[%llu], hashBlockSize[%llu]，"
               "installFileSize[%llu]\n",
               static_cast<ull>(element.patchSize), static_cast<ull>(element.hashBlockSize),
               static_cast<ull>(element.installFileSize));

    s.counter = patchCounter(index, s.count);
    PostRestFileTimeAndPatchFileCount(0, s.counter.c_str());
    postEmptyDownload();
    if (lastStatus_ == kStatusDownloadDone) PostStatus(kStatusDownloading);

    const std::string& downloadDir = s.run.downloadDirectory;
    DebugTrace("[Information] Downloading... patchElement.version[%s] patchIndex[%d], numOfPatch[%d], "
               "patchElement.url[%s],tvPatchDownloadDir[%s].\n",
               element.version, index, s.count, element.url, downloadDir.c_str());
    const int r = fn().downloadStart(h, &element, downloadDir.c_str());
    if (r != TAVOPATCH_OK) {
        if (r == TAVOPATCH_BAD_DOWNLOAD_DIR || r == TAVOPATCH_BAD_UTF8) {
            PostErrorCode(r);
        } else {
            DebugTrace("[Information] !!!failed to tavoPatchDownloadStart errCode[%d]\n", r);
        }
        return Ending::Fail;
    }

    DownloadProgress progress{};
    const Ending polled = pollDownload(s, progress);
    if (polled != Ending::Finish) return polled;
    DebugTrace("[Information] DOWNLOADING: downloadProgress.already[%llu] downloadProgress.size[%llu]"
               "/downloadProgress.total[%llu](finished)\n",
               static_cast<ull>(progress.already), static_cast<ull>(progress.size),
               static_cast<ull>(progress.total));

    if (lastStatus_ == kStatusDownloading && fn().downloadIsBusy(h, &progress) == 0) {
        speedHistory_.clear();
        const std::uint64_t done = progress.already + progress.size;
        const std::uint64_t total = progress.already + progress.total;
        PostDownloadPos(done, total);
        PostRestFileTimeAndPatchFileCount(0, s.counter.c_str());
        DownloadInfo info;
        info.doneSize = done;
        info.totalSize = total;
        info.interval = kIdleInterval;
        PostDownloadInfo(info);
        PostStatus(kStatusDownloadDone);
    }

    char patchFile[kPathBufferSize] = {};
    const int response = fn().downloadGetResponse(h, patchFile, static_cast<int>(sizeof patchFile));
    if (response != TAVOPATCH_OK) {
        if (stopRequested_.load()) {
            DebugTrace("[Information] !!!cancel to tavoPatchDownloadGetResponse\n");
            return Ending::Cancel;
        }
        DebugTrace("[Information] !!!failed to tavoPatchDownloadGetResponse errCode[%d]\n", response);
        return Ending::Fail;
    }
    patchFile[sizeof patchFile - 1] = '\0';
    DebugTrace("[Information] Installing...  patchElement.version[%s], patchIndex[%d]/numOfPatch[%d], "
               "patchFilePath[%s]\n",
               element.version, index, s.count, patchFile);
    return installPatch(s, element, patchFile);
}

PatchLibraryClient::Ending PatchLibraryClient::pollDownload(Session& s, DownloadProgress& progress) {
    const int h = s.handle;
    std::uint32_t lastTick = tickCount();
    std::uint64_t prevSize = 0;
    DebugTrace("[TRACET] Downloading... tavoPatchDownloadIsBusy.tvPatchDownloadDir[%s].\n",
               s.run.downloadDirectory.c_str());
    if (fn().downloadIsBusy(h, &progress) == 0) return Ending::Finish;
    do {
        DebugTrace("[Information] DOWNLOADING: disk full, pos= 1, downloadProgress.[%llu] downloadProgress.size"
                   "[%llu]/downloadProgress.total[%llu], freebytes.quadpart[%llu]\n",
                   static_cast<ull>(progress.already), static_cast<ull>(progress.size),
                   static_cast<ull>(progress.total), static_cast<ull>(diskReserve_));
        if (progress.total == 0) {
            DebugTrace("[Information] DOWNLOADING:downloadProgress.total[%llu] <= 0, \n",
                       static_cast<ull>(progress.total));
        } else {
            // The disk test is made on the first sample of the run only.
            if (diskReserve_ != 0 && exceedsDiskReserve(progress.total, diskReserve_)) {
                PostErrorCode(kErrorCodeDiskSpace);
                return Ending::Fail;
            }
            diskReserve_ = 0;
            fn().downloadIsBusy(h, &progress);
            const std::uint64_t done = progress.already + progress.size;
            const std::uint64_t total = progress.already + progress.total;
            PostDownloadPos(done, total);

            const std::uint32_t now = tickCount();
            const auto interval = static_cast<std::int32_t>(now - lastTick);
            // A counter that went back (a restarted transfer) gives no speed
            // rather than a wrapped-around one.
            const std::uint64_t received = progress.size >= prevSize ? progress.size - prevSize : 0;
            DownloadInfo info;
            info.doneSize = done;
            info.totalSize = total;
            info.interval = interval;
            info.speed = interval > 0 ? received * 1000 / static_cast<std::uint64_t>(interval) : 0;
            PostDownloadInfo(info);
            lastTick = now;
            prevSize = progress.size;
            const std::uint64_t rest = progress.total >= progress.size ? progress.total - progress.size : 0;
            PostRestFileTimeAndPatchFileCount(rest, s.counter.c_str());
            DebugTrace("[Information] DOWNLOADING: downloadProgress.already[%llu] downloadProgress.size[%llu]"
                       "/downloadProgress.total[%llu]\n",
                       static_cast<ull>(progress.already), static_cast<ull>(progress.size),
                       static_cast<ull>(progress.total));
        }
        if (stopRequested_.load()) {
            DebugTrace("[Information] cancel to tavoPatchDownloadIsBusy. \n");
            fn().downloadCancel(sessionHandle_.load());
            return Ending::Cancel;
        }
        std::this_thread::sleep_for(kDownloadPoll);
    } while (fn().downloadIsBusy(h, &progress) != 0);
    return Ending::Finish;
}

PatchLibraryClient::Ending PatchLibraryClient::installPatch(Session& s, const PatchElement& element,
                                                            const char* patchFile) {
    // A cancel that came while the download was ending must not start
    // rewriting the game files.
    if (stopRequested_.load()) {
        DebugTrace("[Information] !!!cancel before tavoPatchInstallStart\n");
        return Ending::Cancel;
    }
    const int h = s.handle;
    const int r = fn().installStart(h, s.run.installDirectory.c_str(), patchFile);
    if (r != TAVOPATCH_OK) {
        if (r == TAVOPATCH_BAD_DOWNLOAD_DIR || r == TAVOPATCH_BAD_UTF8) PostErrorCode(r);
        DebugTrace("[Information] !!!failed to tavoPatchInstallStart [%d]\n", r);
        return Ending::Fail;
    }
    InstallProgress progress{};
    while (fn().installIsBusy(h, &progress) != 0) {
        if (progress.totalSize != 0) {
            PostInstallInfo(progress);
            DebugTrace("[Information] INSTALLING: installProgress.completeSize[%llu]/installProgress.totalSize[%llu]\n",
                       static_cast<ull>(progress.completeSize), static_cast<ull>(progress.totalSize));
        }
        if (stopRequested_.load()) {
            DebugTrace("[Information] !!!cancel to tavoPatchInstallIsBusy\n");
            fn().installCancel(sessionHandle_.load());
            return Ending::Cancel;
        }
        std::this_thread::sleep_for(kInstallPoll);
    }
    if (fn().installGetResponse(h) != TAVOPATCH_OK) {
        if (stopRequested_.load()) {
            DebugTrace("[Information] !!!cancel to tavoPatchInstallGetResponse\n");
            return Ending::Cancel;
        }
        DebugTrace("[Information] !!!failed to tavoPatchInstallGetResponse\n");
        return Ending::Fail;
    }
    DebugTrace("[Information] INSTALLING: %llu/%llu(finished)\n", static_cast<ull>(progress.completeSize),
               static_cast<ull>(progress.totalSize));
    PostInstallInfo(progress);
    PostInstalledVersion(cut(element.version, sizeof element.version - 1).c_str());
    return Ending::Finish;
}

// The three endings. Each releases the run lock, forgets the session and
// raises the stop flag before its last message is posted.
int PatchLibraryClient::endRun(Ending ending, Session& s) {
    if (ending == Ending::Finish || ending == Ending::Cancel) {
        const bool cancelled = ending == Ending::Cancel;
        if (cancelled) DebugTrace("[Information] CANCEL_LABEL\n");
        const int r = fn().finalize(s.handle);
        if (r == TAVOPATCH_OK) {
            sessionHandle_.store(-1);
            stopRequested_.store(true);
            s.runLock.unlock();
            PostStatus(cancelled ? kStatusCancelled : kStatusFinished);
            return 0;
        }
        if (cancelled) {
            DebugTrace("[Information] !!!failed to tavoPatchFinalize\n");
        } else {
            DebugTrace("[Information] !!!failed to tavoPatchFinalize, errCode[%d]\n", r);
        }
    }
    const std::string text = BuildErrorText();
    DebugTrace("[Information] ERROR_LABEL, errorMsg[%s]\n", text.c_str());
    fn().finalize(s.handle);
    sessionHandle_.store(-1);
    stopRequested_.store(true);
    s.runLock.unlock();
    PostErrorText(text);
    return -1;
}

}  // namespace zanth
