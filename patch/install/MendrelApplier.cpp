#include "MendrelApplier.h"

#include <vector>

#include "ArchivePaths.h"
#include "ErrorSnapshot.h"
#include "InstallCodes.h"
#include "ProcessState.h"
#include "SafePath.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"

namespace tavo {

namespace {

std::string patchDirectoryOf(const std::string& patchPath) {
    const std::size_t cut = patchPath.find_last_of("/\\");
    return cut == std::string::npos ? "." : patchPath.substr(0, cut);
}

}  // namespace

MendrelApplier::MendrelApplier(const std::string& patchPath, const std::string& installDirectory)
    : installDirectory_(installDirectory),
      patchPath_(patchPath),
      patchDirectory_(patchDirectoryOf(patchPath)) {
    normalizeSeparators(installDirectory_, '/');
    bindHandlers();
}

MendrelApplier::~MendrelApplier() { closeDataFiles(); }

void MendrelApplier::bindHandlers() {
    MendrelHandlers& h = reader_.handlers;
    h.onAddDirectory = [this](const std::string& name) { return addDirectory(name); };
    h.onDeleteDirectory = [this](const std::string& name) { return deleteDirectory(name); };
    h.onAddData = [this](const CommandRecord& r, uint64_t*) { return addData(r); };
    h.onDeleteData = [this](const CommandRecord& r, uint64_t* extra) { return deleteData(r, extra); };
    h.onExpandData = [this](const CommandRecord& r) { return expandData(r); };
    h.onHeaderWrite = [this](const CommandRecord& r) { return headerWrite(r); };
    h.onFileOperation = [this](const CommandRecord& r) { return fileOperation(r); };
    h.onTargetInfo = [this](const CommandRecord& r) { return targetInfo(r); };
    h.onEnd = [] {
        closeAddFileTarget();
        return 0;
    };
}

bool MendrelApplier::checkPreconditions() {
    clearErrors();
    if (!directoryExists(installDirectory_)) {
        resetError(kErrInstallDirectoryMissing);
        return false;
    }
    if (!fileExists(patchPath_)) {
        resetError(kErrPatchMissing);
        return false;
    }
    File patch;
    uint64_t size = 0;
    if (!patch.open(patchPath_.c_str(), "rb", 0) || !patch.size(&size) || size == 0) {
        pushError(kErrPatchEmpty);
        return false;
    }
    patch.close();
    uint32_t clusterSize = 0;
    if (!getClusterSize(installDirectory_, &clusterSize)) {
        pushError(kErrClusterSize);
        return false;
    }
    uint64_t freeBytes = 0;
    if (!getFreeSpace(installDirectory_, &freeBytes)) {
        pushError(kErrFreeSpace);
        return false;
    }
    return true;
}

// Runs after the reader whatever its outcome; the reader's codes stay at the
// bottom of the stack, each failing half adds its own codes and 20560.
bool MendrelApplier::refreshDatabases(bool result) {
    ErrorSnapshot reader;
    reader.take();
    std::vector<int> removal;
    std::vector<int> installation;
    const bool removed = removeInstalledDatabases();
    if (!removed) copyErrorsOf(removal);
    const bool installed = installPatchDatabases();
    if (!installed) copyErrorsOf(installation);
    reader.restore();
    for (const auto* failed : {removed ? nullptr : &removal, installed ? nullptr : &installation}) {
        if (failed == nullptr) continue;
        pushOldestFirst(*failed);
        pushError(kErrDatabaseRefresh);
    }
    return result && removed && installed;
}

bool MendrelApplier::apply(std::atomic<int>* cancelWord) {
    if (!checkPreconditions()) return false;
    const bool result = reader_.apply(patchPath_, cancelWord);
    return refreshDatabases(result);
}

std::string MendrelApplier::joinInstallPath(const std::string& relative) const {
    if (!installDirectory_.empty() && isSeparator(installDirectory_.back())) {
        return installDirectory_ + relative;
    }
    return installDirectory_ + "/" + relative;
}

File* MendrelApplier::dataFile(uint16_t mainId, uint16_t subId, uint32_t fileId) {
    const DataFileKey key{(uint32_t{mainId} << 16) | subId, fileId};
    const auto found = dataFiles_.find(key);
    if (found != dataFiles_.end()) return found->second.get();
    const std::string path =
        resolveDataFilePath(installDirectory_, mainId, subId, fileId, DataFileVariant::Plain);
    if (path.empty()) return nullptr;
    auto file = std::make_unique<File>();
    if (!file->open(path.c_str(), fileExists(path) ? "r+b" : "w+b", 0)) return nullptr;
    File* raw = file.get();
    dataFiles_.emplace(key, std::move(file));
    return raw;
}

void MendrelApplier::closeDataFiles() { dataFiles_.clear(); }

int MendrelApplier::addDirectory(const std::string& name) {
    if (!isContainedRelativePath(name)) {
        setErrorMessage(name.c_str());
        pushError(kErrPathOutside);
        return -1;
    }
    const std::string path = joinInstallPath(name);
    if (!directoryExists(path)) createDirectories(path);
    return 0;
}

int MendrelApplier::deleteDirectory(const std::string& name) {
    if (name.empty() || !isContainedRelativePath(name)) {
        setErrorMessage(name.c_str());
        pushError(kErrPathOutside);
        return -1;
    }
    const std::string path = joinInstallPath(name);
    if (directoryExists(path)) removeDirectory(path);
    clearErrors();
    return 0;
}

}  // namespace tavo
