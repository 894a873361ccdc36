#include "core/TavoPatchManager.h"

#include <system_error>

#include "core/DebugTrace.h"

namespace zanth {

TavoPatchManager::TavoPatchManager(ClientSettings settings) : settings_(std::move(settings)) {
    DebugTrace("100\n");
}

TavoPatchManager::~TavoPatchManager() {
    DebugTrace("~100\n");
    if (thread_.joinable()) {
        DebugTrace("~101\n");
        if (client_) client_->requestStop();
        waitForThread();
    }
    client_.reset();
}

PatchLibraryClient& TavoPatchManager::client() {
    if (!client_) client_ = std::make_unique<PatchLibraryClient>(settings_);
    return *client_;
}

bool TavoPatchManager::Initialize(NotificationQueue* queue, const std::string& libraryPath) {
    DebugTrace("101\n");
    notify_ = queue;
    client().setNotifyQueue(queue);
    return client().LoadFunctionAddresses(libraryPath) == 0;
}

std::string TavoPatchManager::ReadGameVersion(int type, bool variant) {
    DebugTrace("102\n");
    return client().ReadGameVersion(type, variant);
}

void TavoPatchManager::WriteGameVersion(const char* version, int type, bool variant) {
    DebugTrace("103\n");
    client().WriteGameVersion(version, type, variant);
}

bool TavoPatchManager::StartUpdate(const std::string& server, int /*port*/, const std::string& scheme,
                                   const std::string& platform, const std::string& repository,
                                   const std::string& downloadDirectory, const std::string& installDirectory,
                                   const std::string& currentVersion, int type, bool variant) {
    DebugTrace("115\n");
    if (!client_ || !client_->bound() || thread_.joinable()) return false;
    run_ = RunParameters{server,           scheme,    platform, repository, currentVersion, installDirectory,
                         downloadDirectory, type,      variant};
    threadDone_ = false;
    client_->armStop();
    try {
        thread_ = std::thread(&TavoPatchManager::runThread, this);
    } catch (const std::system_error&) {
        client_->requestStop();
        return false;
    }
    return true;
}

void TavoPatchManager::runThread() {
    DebugTrace("116\n");
    DebugTrace("117\n");
    try {
        client_->RunUpdate(run_, false);
    } catch (...) {
        // Nothing may leave the thread; the run lock was released on unwind.
        DebugTrace("[Error] update thread ended by an exception\n");
    }
    {
        std::lock_guard<std::mutex> lock(doneMutex_);
        threadDone_ = true;
    }
    doneSignal_.notify_all();
}

void TavoPatchManager::CancelUpdate() {
    DebugTrace("105\n");
    if (client_) client_->requestStop();
    if (thread_.joinable()) waitForThread();
}

void TavoPatchManager::waitForThread() {
    std::unique_lock<std::mutex> lock(doneMutex_);
    if (!doneSignal_.wait_for(lock, kCancelWait, [this] { return threadDone_; })) {
        DebugTrace("[Error] CancelUpdate() cancel update thread error.\n");
        DebugTrace("[Error] update thread still running after %lld ms, waiting for it to end\n",
                   static_cast<long long>(kCancelWait.count()));
    }
    lock.unlock();
    thread_.join();
}

}  // namespace zanth
