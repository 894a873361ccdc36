#include "PatchInstaller.h"

#include <cstring>

#include "ErrorSnapshot.h"
#include "InstallCodes.h"
#include "MendrelApplier.h"
#include "ProcessState.h"

namespace tavo {

namespace {
const char* const kWorkerName = "PatchInstaller";
}

PatchInstaller::PatchInstaller() : WorkerThread(false, kWorkerName) {}

PatchInstaller::~PatchInstaller() {
    stopAndWait();
    // A stop that arrived before the thread began skips onFinish.
    if (status_.load() == Running) releaseInstallation();
}

// One installation per process: the archive code keeps process-wide state.
bool PatchInstaller::start(const std::string& patchPath, const std::string& installDirectory) {
    if (status_.load() == Running || !claimInstallation()) {
        pushError(kErrAlreadyRunning);
        return false;
    }
    patchPath_ = patchPath;
    installDirectory_ = installDirectory;
    const int previous = status_.exchange(Running);
    {
        ExclusiveGuard guard(progressLock_);
        completeSize_ = 0;
        totalSize_ = 0;
    }
    clearErrors();
    {
        std::lock_guard<std::mutex> lock(keptMutex_);
        keptCodes_.clear();
        keptMessage_[0] = '\0';
    }
    if (!restart()) {
        status_.store(previous);
        releaseInstallation();
        pushError(kErrThreadStart);
        return false;
    }
    return true;
}

bool PatchInstaller::isBusy() { return status_.load() == Running; }

void PatchInstaller::progress(InstallProgress& out) {
    SharedGuard guard(progressLock_);
    out.completeSize = completeSize_;
    out.totalSize = totalSize_;
}

void PatchInstaller::cancel() {
    int expected = 0;
    cancelWord_.compare_exchange_strong(expected, 1);
}

bool PatchInstaller::getResponse() {
    if (cancelWord_.load() == 2) {
        clearErrors();
        return false;
    }
    std::lock_guard<std::mutex> lock(keptMutex_);
    if (keptCodes_.empty()) return true;
    restoreErrors(keptCodes_);
    setErrorMessage(keptMessage_);
    return false;
}

bool PatchInstaller::onStart() {
    pinToFirstProcessor();
    return true;
}

int PatchInstaller::storeProgress(uint64_t done, uint64_t total) {
    ExclusiveGuard guard(progressLock_);
    completeSize_ = done;
    totalSize_ = total;
    return 0;
}

int PatchInstaller::step() {
    cancelWord_.store(0);
    MendrelApplier applier(patchPath_, installDirectory_);
    applier.reader().handlers.onProgress = [this](uint64_t done, uint64_t total) {
        return storeProgress(done, total);
    };
    applier.apply(&cancelWord_);
    return 1;
}

void PatchInstaller::onFinish() {
    {
        std::lock_guard<std::mutex> lock(keptMutex_);
        copyErrorsOf(keptCodes_);
        getErrorMessage(keptMessage_, sizeof keptMessage_);
    }
    releaseInstallation();
    status_.store(Finished);
}

}  // namespace tavo
