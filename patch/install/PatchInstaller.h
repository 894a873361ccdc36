// The "PatchInstaller" worker: runs one installation on its own thread while
// the caller polls progress, may cancel, and then takes the response.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "interface/OperationWorker.h"
#include "platform/ErrorStack.h"
#include "platform/SharedExclusiveLock.h"
#include "platform/WorkerThread.h"

namespace tavo {

class PatchInstaller : public WorkerThread, public InstallWorker {
public:
    enum Status : int { NeverStarted = 0, Running = 1, Finished = 2 };

    PatchInstaller();
    ~PatchInstaller() override;

    bool start(const std::string& patchPath, const std::string& installDirectory) override;
    bool isBusy() override;
    void progress(InstallProgress& out) override;
    void cancel() override;
    bool getResponse() override;

    int cancelWord() const { return cancelWord_.load(); }

protected:
    bool onStart() override;
    int step() override;
    void onFinish() override;

private:
    int storeProgress(uint64_t done, uint64_t total);

    std::string patchPath_;
    std::string installDirectory_;
    uint64_t completeSize_ = 0;
    uint64_t totalSize_ = 0;
    SharedExclusiveLock progressLock_;
    std::atomic<int> cancelWord_{0};
    std::atomic<int> status_{NeverStarted};
    std::mutex keptMutex_;
    std::vector<int> keptCodes_;  // newest first
    char keptMessage_[kErrorMessageSize] = {};
};

}  // namespace tavo
