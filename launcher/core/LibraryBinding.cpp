#include "core/LibraryBinding.h"

#include <dlfcn.h>

#include <cerrno>

#include "core/DebugTrace.h"

namespace zanth {

namespace {

// Stores a resolved address in its typed slot.
template <auto Member>
void assign(PatchLibraryFunctions& f, void* address) {
    using Pointer = std::remove_reference_t<decltype(f.*Member)>;
    f.*Member = reinterpret_cast<Pointer>(address);
}

struct ExportSlot {
    const char* name;
    void (*assign)(PatchLibraryFunctions&, void*);
};

using F = PatchLibraryFunctions;
// Resolution order of the exports.
constexpr ExportSlot kExports[] = {
    {"tavoPatchGetVersion", assign<&F::getVersion>},
    {"tavoPatchInitialize", assign<&F::initialize>},
    {"tavoPatchVersionCheckStart", assign<&F::versionCheckStart>},
    {"tavoPatchVersionCheckIsBusy", assign<&F::versionCheckIsBusy>},
    {"tavoPatchVersionCheckCancel", assign<&F::versionCheckCancel>},
    {"tavoPatchVersionCheckGetResponse", assign<&F::versionCheckGetResponse>},
    {"tavoPatchGetPatchElement", assign<&F::getPatchElement>},
    {"tavoPatchGetNumOfPatch", assign<&F::getNumOfPatch>},
    {"tavoPatchDownloadStart", assign<&F::downloadStart>},
    {"tavoPatchDownloadIsBusy", assign<&F::downloadIsBusy>},
    {"tavoPatchDownloadCancel", assign<&F::downloadCancel>},
    {"tavoPatchDownloadGetResponse", assign<&F::downloadGetResponse>},
    {"tavoPatchInstallStart", assign<&F::installStart>},
    {"tavoPatchInstallIsBusy", assign<&F::installIsBusy>},
    {"tavoPatchInstallCancel", assign<&F::installCancel>},
    {"tavoPatchInstallGetResponse", assign<&F::installGetResponse>},
    {"tavoPatchGetErrorCodes", assign<&F::getErrorCodes>},
    {"tavoPatchFinalize", assign<&F::finalize>},
    {"tavoPatchGetFileHashString", assign<&F::getFileHashString>},
    {"tavoPatchSetVersionName", assign<&F::setVersionName>},
    {"tavoPatchGetVersionName", assign<&F::getVersionName>},
};
static_assert(std::size(kExports) == 21);

}  // namespace

LibraryBinding::~LibraryBinding() { unload(); }

void LibraryBinding::unload() {
    functions_ = PatchLibraryFunctions{};
    if (module_ != nullptr) dlclose(module_);
    module_ = nullptr;
}

int LibraryBinding::load(const std::string& path) {
    unload();
    DebugTrace("LoadFunctionAddresses(dllPath=%s)\n", path.c_str());
    errno = 0;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const int error = errno;
        const char* reason = dlerror();
        DebugTrace("Load Patch Dll failed. dllpath=%s, lasterror=%d \r\n", path.c_str(), error);
        DebugTrace("[Error] %s\n", reason != nullptr ? reason : "");
        return -1;
    }

    PatchLibraryFunctions functions;
    for (const ExportSlot& slot : kExports) {
        void* address = dlsym(module, slot.name);
        if (address == nullptr) {
            DebugTrace("load patch dll function error, Failed to Get %s Address", slot.name);
            dlclose(module);
            return -1;
        }
        slot.assign(functions, address);
    }

    DebugTrace("patch dll path = %s", path.c_str());
    module_ = module;
    functions_ = functions;
    return 0;
}

}  // namespace zanth
