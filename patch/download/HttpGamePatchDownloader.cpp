#include "HttpGamePatchDownloader.h"

#include "BlockHashText.h"
#include "DownloadCodes.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr const char* kThreadName = "HttpGamePatchDownloader";
constexpr unsigned kPollMs = 1;
constexpr unsigned kFirstCancelPauseMs = 10;
constexpr unsigned kCancelPauseStepMs = 100;
constexpr unsigned kCancelPauseLimitMs = 2000;

bool isIdleState(int state) {
    return state == HttpGamePatchDownloader::Idle || state == HttpGamePatchDownloader::Finished;
}

}  // namespace

HttpGamePatchDownloader::Thread::Thread(HttpGamePatchDownloader& owner)
    : WorkerThread(false, kThreadName), owner_(owner) {}

bool HttpGamePatchDownloader::Thread::onStart() {
    pinToFirstProcessor();
    return true;
}

int HttpGamePatchDownloader::Thread::step() {
    owner_.run();
    return 1;  // the body runs once
}

void HttpGamePatchDownloader::Thread::onFinish() { owner_.finish(); }

HttpGamePatchDownloader::HttpGamePatchDownloader(HttpSession* http, KindState& state)
    : kind_(state), token_(http), transfer_(http), thread_(*this) {}

HttpGamePatchDownloader::~HttpGamePatchDownloader() {
    thread_.stopAndWait();
    state_.store(Finished);
}

bool HttpGamePatchDownloader::begin(const PatchElement& element) {
    if (!isIdleState(state_.load())) {
        pushError(kErrTransferBusy);
        return false;
    }
    clearErrors();
    kept_.clear();
    ok_ = false;
    resultPath_.clear();
    table_ = PatchInfoRecord{};
    table_.enabled = 1;
    table_.hashBlockSize = element.hashBlockSize;
    table_.patchSize = element.patchSize;
    if (!readBlockHashes(element.hashes, table_)) return false;
    if (table_.hashBlockSize == 0) {
        pushError(kErrZeroHashBlockSize);
        return false;
    }
    const DownloadParams& params = kind_.download;
    tokenServer_ = TokenServer{params.tokenScheme, params.tokenServer, params.tokenPort, params.tokenPath};
    uniqueId_ = params.uniqueId;
    patchUrl_ = params.patchUrl;
    downloadDirectory_ = params.downloadDirectory;
    state_.store(Started);
    if (!thread_.restart()) {
        state_.store(Finished);
        pushError(kErrDownloadThreadStart);
        return false;
    }
    return true;
}

bool HttpGamePatchDownloader::isBusy() { return !isIdleState(state_.load()); }

template <class Busy>
void HttpGamePatchDownloader::waitWhile(Busy busy) {
    while (busy() && !thread_.stopping()) sleepMs(kPollMs);
}

// A step that fails without a code still fails: 20501 marks it.
void HttpGamePatchDownloader::run() {
    if (!token_.begin(tokenServer_, uniqueId_, patchUrl_)) return;
    state_.store(TokenRunning);
    waitWhile([this] { return token_.isBusy(); });
    std::string address;
    if (!token_.takeAnswer(address)) {
        if (!hasErrors()) pushError(kErrDownloadSilentFailure);
        return;
    }
    state_.store(TokenReceived);
    if (!transfer_.begin(address, uniqueId_, downloadDirectory_, true, &table_)) {
        if (!hasErrors()) pushError(kErrDownloadSilentFailure);
        return;
    }
    state_.store(Transferring);
    waitWhile([this] { return transfer_.isBusy(); });
    if (!transfer_.getResponse(ok_, resultPath_) && !hasErrors()) pushError(kErrDownloadSilentFailure);
}

void HttpGamePatchDownloader::finish() {
    copyErrors(kept_);
    state_.store(Finished);
}

bool HttpGamePatchDownloader::getResponse() {
    if (!isIdleState(state_.load())) {
        pushError(kErrTransferBusy);
        return false;
    }
    if (kept_.empty() && ok_) {
        kind_.download.ok = true;
        kind_.download.resultPath = resultPath_;
        return true;
    }
    kind_.download.ok = false;
    restoreErrors(kept_);
    if (containsError(kErrDownloadSilentFailure)) clearErrors();
    return false;
}

void HttpGamePatchDownloader::cancel() {
    unsigned pauseMs = kFirstCancelPauseMs;
    while (!isIdleState(state_.load())) {
        token_.cancel();
        transfer_.cancel();
        sleepMs(pauseMs);
        if (pauseMs < kCancelPauseLimitMs) pauseMs += kCancelPauseStepMs;
    }
}

void HttpGamePatchDownloader::updateProgress() { kind_.download.progress = transfer_.progress(); }

}  // namespace tavo
