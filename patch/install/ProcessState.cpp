#include "ProcessState.h"

#include <atomic>
#include <cstring>

namespace tavo {

namespace {

std::atomic<bool> gFolderLayout{false};
std::atomic<bool> gInstallationClaimed{false};
AddFileTarget gAddFileTarget;
InstallTuning gInstallTuning;
const uint8_t gZeros[kZeroBufferSize] = {};

class SharedInflater {
public:
    SharedInflater() {
        std::memset(&stream_, 0, sizeof stream_);
        ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
    }
    ~SharedInflater() {
        if (ready_) inflateEnd(&stream_);
    }
    SharedInflater(const SharedInflater&) = delete;
    SharedInflater& operator=(const SharedInflater&) = delete;
    z_stream* get() { return ready_ ? &stream_ : nullptr; }

private:
    z_stream stream_;
    bool ready_ = false;
};

}  // namespace

bool folderLayoutFlag() { return gFolderLayout.load(); }
void setFolderLayoutFlag() { gFolderLayout.store(true); }

AddFileTarget& addFileTarget() { return gAddFileTarget; }

void closeAddFileTarget() {
    gAddFileTarget.file.reset();
    gAddFileTarget.path.clear();
}

const uint8_t* zeroBuffer() { return gZeros; }

z_stream* sharedInflater() {
    static SharedInflater inflater;
    return inflater.get();
}

bool claimInstallation() {
    bool expected = false;
    return gInstallationClaimed.compare_exchange_strong(expected, true);
}

void releaseInstallation() { gInstallationClaimed.store(false); }

InstallTuning& installTuning() { return gInstallTuning; }

}  // namespace tavo
