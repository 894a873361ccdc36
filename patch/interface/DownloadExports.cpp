// Download of one patch file described by a PatchElement.
#include <cstring>

#include "ExportGuard.h"
#include "OperationFactories.h"
#include "ResultCodes.h"
#include "SessionTable.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

using namespace tavo;

namespace {

DownloadWorker* downloadOf(int handle, PatchSession** sessionOut = nullptr) {
    PatchSession* session = findSession(handle);
    if (sessionOut) *sessionOut = session;
    return session ? session->current().downloadWorker.get() : nullptr;
}

// The caller's record need not be terminated: never read past a field.
template <std::size_t N>
void terminate(char (&field)[N]) {
    field[N - 1] = '\0';
}

template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

extern "C" TAVOPATCH_API int tavoPatchDownloadStart(int handle, const PatchElement* element,
                                                    const char* downloadDir) {
    return exportGuard(kResultFailed, [&] {
        if (!isValidUtf8(downloadDir)) return kResultBadUtf8;
        if (!directoryExists(downloadDir)) return kResultBadDownloadDir;
        PatchSession* session = findSession(handle);
        if (session == nullptr || element == nullptr) return kResultFailed;

        KindState& state = session->current();
        DownloadParams& d = state.download;
        d.patchUrl = fieldText(element->url);
        d.downloadDirectory = downloadDir;
        if (session->kind() == RepositoryKind::Game) {
            d.tokenScheme = "http";
            d.tokenServer = state.versionCheck.server;
            d.tokenPort = 80;
            d.tokenPath = "/gen_token";
            d.uniqueId = state.results.uniqueId;
        }
        // The worker keeps its own copy, made safe to read as texts.
        PatchElement copy = *element;
        terminate(copy.version);
        terminate(copy.extraText);
        terminate(copy.url);
        terminate(copy.hashes);

        state.downloadWorker = createDownloadWorker(*session);
        if (!state.downloadWorker) return kResultFailed;
        return state.downloadWorker->begin(copy) ? kResultOk : kResultFailed;
    });
}

extern "C" TAVOPATCH_API int tavoPatchDownloadIsBusy(int handle, DownloadProgress* progress) {
    return exportGuard(0, [&] {
        PatchSession* session = nullptr;
        DownloadWorker* worker = downloadOf(handle, &session);
        if (worker == nullptr) return 0;
        const bool busy = worker->isBusy();
        worker->updateProgress();
        if (progress) *progress = session->current().download.progress;
        return busy ? 1 : 0;
    });
}

extern "C" TAVOPATCH_API int tavoPatchDownloadCancel(int handle) {
    return exportGuard(kResultFailed, [&] {
        DownloadWorker* worker = downloadOf(handle);
        if (worker == nullptr) return kResultFailed;
        worker->cancel();
        return kResultOk;
    });
}

extern "C" TAVOPATCH_API int tavoPatchDownloadGetResponse(int handle, char* path, int pathSize) {
    return exportGuard(kResultFailed, [&] {
        PatchSession* session = nullptr;
        DownloadWorker* worker = downloadOf(handle, &session);
        if (worker == nullptr || !worker->getResponse()) return kResultFailed;
        const std::string& result = session->current().download.resultPath;
        if (path == nullptr || pathSize <= 0 || result.size() >= static_cast<std::size_t>(pathSize)) {
            pushError(kErrPathBufferTooSmall);
            return kResultFailed;
        }
        std::memcpy(path, result.c_str(), result.size() + 1);
        return kResultOk;
    });
}
