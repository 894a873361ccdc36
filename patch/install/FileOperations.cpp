// Command "F": add a file from data blocks, delete a file, remove a release,
// make a directory.
#include <algorithm>
#include <memory>
#include <new>

#include "FileAddBlocks.h"
#include "InstallCodes.h"
#include "MendrelApplier.h"
#include "ProcessState.h"
#include "ReleaseRemoval.h"
#include "SafePath.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"
#include "platform/WorkerThread.h"

namespace tavo {

namespace {

constexpr int kAddOpenAttempts = 16;
constexpr int kDeleteRetries = 10;
constexpr uint32_t kWritePiece = 1u << 30;

void failWithPath(const std::string& path, int code) {
    setErrorMessage(path.c_str());
    pushError(code);
}

bool openAddTarget(File& file, const std::string& path, uint64_t fileOffset) {
    const char* mode = fileOffset != 0 && fileExists(path) ? "r+b" : "w+b";
    for (int attempt = 1;; ++attempt) {
        if (file.open(path.c_str(), mode, 0)) return true;
        if (attempt == kAddOpenAttempts) return false;
        clearErrors();
        sleepMs(installTuning().fileAddOpenMs);
    }
}

// Keeps the open file when the previous piece went to the same path.
File* addTargetFor(const std::string& path, uint64_t fileOffset) {
    AddFileTarget& target = addFileTarget();
    if (target.file && target.file->isOpen() && target.path == path) return target.file.get();
    closeAddFileTarget();
    std::unique_ptr<File> file(new (std::nothrow) File);
    if (!file) {
        pushError(kErrFileObjectMemory);
        return nullptr;
    }
    if (!openAddTarget(*file, path, fileOffset)) {
        failWithPath(path, kErrFileAddOpen);
        return nullptr;
    }
    target.file = std::move(file);
    target.path = path;
    return target.file.get();
}

bool writeAll(File& file, const uint8_t* data, uint64_t length) {
    while (length > 0) {
        const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(length, kWritePiece));
        uint32_t written = 0;
        if (!file.write(data, piece, &written) || written != piece) return false;
        data += piece;
        length -= piece;
    }
    return true;
}

}  // namespace

int MendrelApplier::fileOperation(const CommandRecord& r) {
    stripTrailingSeparator(installDirectory_);
    closeDataFiles();
    if (r.pathLength > r.payloadLength) {
        pushError(kErrPathLength);
        return -1;
    }
    const char* text = reinterpret_cast<const char*>(r.payload);
    const std::string relative(text, std::find(text, text + r.pathLength, '\0'));
    if (!isContainedRelativePath(relative)) {
        failWithPath(relative, kErrPathOutside);
        return -1;
    }
    const std::string target = joinInstallPath(relative);
    switch (r.operation) {
    case 'D': return deleteTargetFile(target);
    case 'R': return removeRelease(target, relative, r.expansionId);
    case 'M':
        closeAddFileTarget();
        createDirectories(target);
        return 0;
    default:
        return addFile(r, target, r.payload + r.pathLength, r.payloadLength - r.pathLength);
    }
}

int MendrelApplier::addFile(const CommandRecord& r, const std::string& target,
                            const uint8_t* blocks, uint64_t blocksLength) {
    if (target.empty() || isSeparator(target.back()) || directoryExists(target)) {
        failWithPath(target, kErrPathLength);
        return -1;
    }
    uint64_t total = 0;
    if (!measureFileBlocks(blocks, blocksLength, bigEndian(), &total)) return -1;
    // Kept across the pieces of a file: a fresh buffer per piece costs a page
    // fault for every page it touches.
    if (total > decodeCapacity_ || !decoded_) {
        decoded_.reset(new (std::nothrow) uint8_t[total == 0 ? 1 : total]);
        decodeCapacity_ = decoded_ ? total : 0;
    }
    uint8_t* data = decoded_.get();
    if (data == nullptr) {
        pushError(kErrFileAddMemory);
        return -1;
    }
    if (!decodeFileBlocks(blocks, blocksLength, bigEndian(), data, total)) return -1;
    File* file = addTargetFor(target, r.fileOffset);
    if (file == nullptr) return -1;
    uint64_t position = 0;
    if (!file->seek(static_cast<int64_t>(r.fileOffset), 0, &position) || position != r.fileOffset) {
        failWithPath(target, kErrSeek);
        return -1;
    }
    if (!writeAll(*file, data, total)) {
        closeAddFileTarget();
        failWithPath(target, kErrShortWrite);
        return -1;
    }
    return 0;
}

int MendrelApplier::deleteTargetFile(const std::string& target) {
    closeAddFileTarget();
    if (!fileExists(target)) return 0;
    if (deleteFile(target, true, kDeleteRetries, installTuning().deleteMs)) return 0;
    failWithPath(target, kErrFileDelete);
    return -1;
}

int MendrelApplier::removeRelease(const std::string& target, const std::string& relativePath,
                                  uint16_t expansionId) {
    closeAddFileTarget();
    const std::string root = relativePath.empty() ? installDirectory_ + "/" : target;
    if (!directoryExists(root)) {
        failWithPath(target, kErrReleaseNotDirectory);
        return -1;
    }
    ReleaseRemoval walk(root, expansionId, installTuning().deleteMs);
    if (walk.run()) return 0;
    failWithPath(walk.lastFailure(), kErrReleaseDelete);
    return -1;
}

}  // namespace tavo
