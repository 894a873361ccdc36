// Run-time binding of the patch library: the module loaded by file name and
// its 21 exported functions resolved by name.
#pragma once

#include <string>

#include "tavoPatch.h"

namespace zanth {

struct PatchLibraryFunctions {
    decltype(&::tavoPatchGetVersion) getVersion = nullptr;
    decltype(&::tavoPatchInitialize) initialize = nullptr;
    decltype(&::tavoPatchVersionCheckStart) versionCheckStart = nullptr;
    decltype(&::tavoPatchVersionCheckIsBusy) versionCheckIsBusy = nullptr;
    decltype(&::tavoPatchVersionCheckCancel) versionCheckCancel = nullptr;
    decltype(&::tavoPatchVersionCheckGetResponse) versionCheckGetResponse = nullptr;
    decltype(&::tavoPatchGetPatchElement) getPatchElement = nullptr;
    decltype(&::tavoPatchGetNumOfPatch) getNumOfPatch = nullptr;
    decltype(&::tavoPatchDownloadStart) downloadStart = nullptr;
    decltype(&::tavoPatchDownloadIsBusy) downloadIsBusy = nullptr;
    decltype(&::tavoPatchDownloadCancel) downloadCancel = nullptr;
    decltype(&::tavoPatchDownloadGetResponse) downloadGetResponse = nullptr;
    decltype(&::tavoPatchInstallStart) installStart = nullptr;
    decltype(&::tavoPatchInstallIsBusy) installIsBusy = nullptr;
    decltype(&::tavoPatchInstallCancel) installCancel = nullptr;
    decltype(&::tavoPatchInstallGetResponse) installGetResponse = nullptr;
    decltype(&::tavoPatchGetErrorCodes) getErrorCodes = nullptr;
    decltype(&::tavoPatchFinalize) finalize = nullptr;
    decltype(&::tavoPatchGetFileHashString) getFileHashString = nullptr;
    decltype(&::tavoPatchSetVersionName) setVersionName = nullptr;
    decltype(&::tavoPatchGetVersionName) getVersionName = nullptr;
};

// Owns the loaded module; unloading it invalidates the functions.
class LibraryBinding {
public:
    LibraryBinding() = default;
    ~LibraryBinding();
    LibraryBinding(const LibraryBinding&) = delete;
    LibraryBinding& operator=(const LibraryBinding&) = delete;

    // LoadFunctionAddresses: 0 when the file loaded and every export was
    // found, -1 otherwise (nothing stays loaded then).
    int load(const std::string& path);
    bool bound() const { return module_ != nullptr; }
    const PatchLibraryFunctions& functions() const { return functions_; }
    void unload();

private:
    void* module_ = nullptr;
    PatchLibraryFunctions functions_;
};

}  // namespace zanth
