// The game kind's download: on its own "HttpGamePatchDownloader" thread it
// asks the token server for the file's address, then runs the resumable,
// verified transfer.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "GenTokenRequest.h"
#include "PatchFileDownload.h"
#include "PatchInfoRecord.h"
#include "interface/OperationWorker.h"
#include "interface/PatchSession.h"
#include "platform/WorkerThread.h"

namespace tavo {

class HttpGamePatchDownloader : public DownloadWorker {
public:
    enum State : int { Idle = 0, Started = 1, TokenRunning = 2, TokenReceived = 3, Transferring = 4, Finished = 5 };

    HttpGamePatchDownloader(HttpSession* http, KindState& state);
    // Stops the thread; its waits end on the stop request.
    ~HttpGamePatchDownloader() override;

    bool begin(const PatchElement& element) override;
    bool isBusy() override;
    bool getResponse() override;
    // Returns once the thread has finished.
    void cancel() override;
    void updateProgress() override;

    int state() const { return state_.load(); }

private:
    class Thread : public WorkerThread {
    public:
        explicit Thread(HttpGamePatchDownloader& owner);
        ~Thread() override { stopAndWait(); }
        bool stopping() const { return state() != Running; }

    protected:
        bool onStart() override;
        int step() override;
        void onFinish() override;

    private:
        HttpGamePatchDownloader& owner_;
    };

    void run();
    void finish();
    template <class Busy>
    void waitWhile(Busy busy);

    KindState& kind_;
    std::atomic<int> state_{Idle};
    TokenServer tokenServer_;
    std::string uniqueId_;
    std::string patchUrl_;
    std::string downloadDirectory_;
    PatchInfoRecord table_;
    GenTokenRequest token_;
    PatchFileDownload transfer_;
    // Written by the thread, read once it has finished.
    bool ok_ = false;
    std::string resultPath_;
    std::vector<int> kept_;
    // Last: stopped before anything it uses goes away.
    Thread thread_;
};

}  // namespace tavo
