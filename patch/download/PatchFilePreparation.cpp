// Preparing the local files of a transfer: names, clean-up of other patches,
// the patch file, and the resume decision from the ".info" file.
#include <algorithm>
#include <ctime>
#include <vector>

#include "DownloadCodes.h"
#include "PatchFileDownload.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"

namespace tavo {

namespace {

constexpr uint64_t kMaxRecordAgeSeconds = 86400;
constexpr uint64_t kMaxResumes = 64;
constexpr uint64_t kMaxResumeBytes = 1500000000;
constexpr int kNoRetries = 0;

uint64_t nowSeconds() { return static_cast<uint64_t>(std::time(nullptr)); }

bool isPatchOrInfo(const std::string& path) {
    const std::string extension = extensionOf(fileNameOf(path));
    return extension == "patch" || extension == "info";
}

// A failure the preparation goes past leaves nothing on the stack.
class KeptErrors {
public:
    KeptErrors() { copyErrors(codes_); std::reverse(codes_.begin(), codes_.end()); }
    ~KeptErrors() { restoreErrors(codes_); }
    KeptErrors(const KeptErrors&) = delete;
    KeptErrors& operator=(const KeptErrors&) = delete;

private:
    std::vector<int> codes_;
};

}  // namespace

void PatchFileDownload::closeFiles() {
    patchFile_.close();
    infoFile_.close();
}

bool PatchFileDownload::prepareFiles(const std::string& address, const std::string& downloadDirectory,
                                     bool resumeAllowed) {
    cancelFlag_.store(false);
    closeFiles();
    if (!derivePatchFileNames(address, downloadDirectory, names_)) return false;
    removeOtherPatchFiles();
    if (!createDirectories(names_.directory)) {
        pushError(kErrPatchDirectory);
        return false;
    }
    uint64_t length = 0;
    if (!openPatchFile(resumeAllowed, length)) return false;
    resumeOffset_ = 0;
    if (!resumeAllowed) {
        record_.enabled = 0;
    } else if (!resumeFromInfo(length)) {
        closeFiles();
        return false;
    }
    finishPreparation();
    return true;
}

void PatchFileDownload::removeOtherPatchFiles() const {
    KeptErrors kept;
    std::vector<std::string> files;
    listFiles(files, names_.directory, "*");
    const std::string patchName = fileNameOf(names_.patchPath);
    const std::string infoName = fileNameOf(names_.infoPath);
    for (const std::string& path : files) {
        const std::string name = fileNameOf(path);
        if (isPatchOrInfo(name) && name != patchName && name != infoName)
            deleteFile(path, false, kNoRetries, 0);
    }
}

bool PatchFileDownload::openPatchFile(bool resumeAllowed, uint64_t& length) {
    length = 0;
    const bool existing = resumeAllowed && fileExists(names_.patchPath);
    const bool opened = existing ? patchFile_.open(names_.patchPath.c_str(), "r+b", kNoRetries) &&
                                       patchFile_.size(&length)
                                 : patchFile_.open(names_.patchPath.c_str(), "w+b", kNoRetries);
    if (!opened) {
        patchFile_.close();
        pushError(kErrPatchFileOpen);
        return false;
    }
    return true;
}

// A record that cannot be read or written only costs the resume.
bool PatchFileDownload::resumeFromInfo(uint64_t length) {
    if (!fileExists(names_.infoPath)) {
        KeptErrors kept;
        if (infoFile_.open(names_.infoPath.c_str(), "w+b", kNoRetries)) saveRecord();
        return true;
    }
    {
        KeptErrors kept;
        if (!infoFile_.open(names_.infoPath.c_str(), "r+b", kNoRetries)) return true;
    }
    PatchInfoRecord::Bytes bytes{};
    uint32_t got = 0;
    bool readOk;
    {
        KeptErrors kept;
        readOk = infoFile_.readAt(bytes.data(), kInfoRecordSize, &got, 0) && got == kInfoRecordSize;
    }
    // A fresh patch file: the record of an earlier one is worth nothing.
    if (!readOk || length == 0) {
        if (!beginFromZero()) return false;
        saveRecord();
        return true;
    }
    const PatchInfoRecord stored = PatchInfoRecord::fromBytes(bytes);
    record_.verifiedBlocks = stored.verifiedBlocks;
    record_.saveTime = stored.saveTime;
    record_.resumeCount = stored.resumeCount + 1;
    // The verified bytes: the last block may end before a whole block size.
    resumeOffset_ = stored.verifiedBlocks > record_.hashCount
                        ? UINT64_MAX
                        : std::min(stored.verifiedBlocks * record_.hashBlockSize, record_.patchSize);
    if (mustBeginFromZero(stored, length)) {
        if (!beginFromZero()) return false;
    } else if (stored.lastError != static_cast<uint64_t>(kErrBlockMismatch) && length != record_.patchSize) {
        if (!rehashPartialBlock(length)) return false;
    }
    // After a mismatch, or with a complete file whose tail is not verified,
    // the bytes past the verified ones are fetched again and overwritten.
    saveRecord();
    return true;
}

bool PatchFileDownload::mustBeginFromZero(const PatchInfoRecord& stored, uint64_t length) const {
    const uint64_t now = nowSeconds();
    const bool stale = stored.saveTime > now || now - stored.saveTime > kMaxRecordAgeSeconds;
    return !record_.describesSamePatch(stored) || stale || record_.resumeCount > kMaxResumes ||
           resumeOffset_ > kMaxResumeBytes || length > kMaxResumeBytes || resumeOffset_ > record_.patchSize ||
           length > record_.patchSize || length < resumeOffset_;
}

// The bytes past the recorded blocks are on disk: hash them again so the
// unfinished block can be checked once the rest arrives. Whole blocks among
// them were written by a run stopped before it could record them (blocks are
// recorded after their bytes are written); they are checked here and counted,
// and from the first one that fails the bytes are fetched again.
bool PatchFileDownload::rehashPartialBlock(uint64_t length) {
    verifier_.reset(resumeOffset_);
    while (resumeOffset_ < length) {
        if (cancelFlag_.load()) {
            // Ends the start as cancelled: nothing on the stack.
            cancelFlag_.store(false);
            clearErrors();
            return false;
        }
        const auto want = static_cast<uint32_t>(std::min<uint64_t>(bufferSize_, length - resumeOffset_));
        uint32_t got = 0;
        if (!patchFile_.readAt(buffer_.get(), want, &got, resumeOffset_) || got != want) {
            pushError(kErrPartialBlockRead);
            return false;
        }
        BlockRun run;
        bool passed;
        {
            KeptErrors kept;  // a failing block on disk is fetched again, not reported
            passed = verifier_.check(record_, buffer_.get(), got, run);
        }
        record_.verifiedBlocks += run.passedBlocks;
        if (!passed) {
            resumeOffset_ = record_.verifiedBlocks * record_.hashBlockSize;
            verifier_.reset(resumeOffset_);
            return true;
        }
        resumeOffset_ += got;
    }
    return true;
}

bool PatchFileDownload::beginFromZero() {
    resumeOffset_ = 0;
    record_.verifiedBlocks = 0;
    record_.resumeCount = 0;
    record_.lastError = 0;
    verifier_.reset(0);
    patchFile_.close();
    if (!patchFile_.open(names_.patchPath.c_str(), "w+b", kNoRetries)) {
        pushError(kErrPatchFileOpen);
        return false;
    }
    writePosition_ = receivedPosition_ = 0;
    return true;
}

void PatchFileDownload::saveRecord() {
    if (!infoFile_.isOpen()) return;
    KeptErrors kept;
    record_.saveTime = nowSeconds();
    record_.recordSize = kInfoRecordSize;
    const PatchInfoRecord::Bytes bytes = record_.toBytes();
    uint32_t written = 0;
    if (infoFile_.writeAt(bytes.data(), kInfoRecordSize, &written, 0)) infoFile_.flush();
}

void PatchFileDownload::finishPreparation() {
    writePosition_ = receivedPosition_ = resumeOffset_;
    if (verifier_.position() != resumeOffset_) verifier_.reset(resumeOffset_);
}

}  // namespace tavo
