// Version check and the patch list it yields.
#include <cstring>
#include <initializer_list>

#include "ExportGuard.h"
#include "OperationFactories.h"
#include "ResultCodes.h"
#include "SessionTable.h"
#include "platform/ErrorStack.h"
#include "platform/PathText.h"

using namespace tavo;

namespace {

VersionCheckWorker* versionCheckOf(int handle) {
    PatchSession* session = findSession(handle);
    return session ? session->current().versionCheckWorker.get() : nullptr;
}

// Copies a text with its terminator into a fixed field; false when it does
// not fit (a cut address or hash list would silently name something else).
template <std::size_t N>
bool copyField(char (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

extern "C" TAVOPATCH_API int tavoPatchVersionCheckStart(int handle, const char* server, int port,
                                                        const char* scheme, const char* platform,
                                                        const char* repository,
                                                        const char* currentVersion) {
    return exportGuard(kResultFailed, [&] {
        PatchSession* session = findSession(handle);
        if (session == nullptr) return kResultFailed;
        for (const char* text : {server, scheme, platform, repository, currentVersion})
            if (!isValidUtf8(text)) return kResultBadUtf8;

        KindState& state = session->current();
        VersionCheckParams& p = state.versionCheck;
        p.scheme = scheme;
        p.server = server;
        p.port = port;
        p.pathPrefix.clear();
        p.platform = platform;
        p.pathWord = "http";
        p.bootHash = session->kind() == RepositoryKind::Game ? session->bootHash : std::string();
        p.repository = repository;
        p.currentVersion = currentVersion;
        // A second check on the session would otherwise list every patch twice.
        state.results.patchList.clear();

        state.versionCheckWorker = createVersionCheckWorker(*session);
        if (!state.versionCheckWorker) return kResultFailed;
        const std::string argument =
            session->kind() == RepositoryKind::Game ? session->sessionId : std::string();
        return state.versionCheckWorker->begin(argument) ? kResultOk : kResultFailed;
    });
}

extern "C" TAVOPATCH_API int tavoPatchVersionCheckIsBusy(int handle) {
    return exportGuard(0, [&] {
        VersionCheckWorker* worker = versionCheckOf(handle);
        return worker && worker->isBusy() ? 1 : 0;
    });
}

extern "C" TAVOPATCH_API int tavoPatchVersionCheckCancel(int handle) {
    return exportGuard(kResultFailed, [&] {
        VersionCheckWorker* worker = versionCheckOf(handle);
        if (worker == nullptr) return kResultFailed;
        worker->cancel();
        return kResultOk;
    });
}

extern "C" TAVOPATCH_API int tavoPatchVersionCheckGetResponse(int handle) {
    return exportGuard(kResultFailed, [&] {
        VersionCheckWorker* worker = versionCheckOf(handle);
        return worker && worker->getResponse() ? kResultOk : kResultFailed;
    });
}

extern "C" TAVOPATCH_API int tavoPatchGetNumOfPatch(int handle) {
    return exportGuard(0, [&] {
        PatchSession* session = findSession(handle);
        return session ? static_cast<int>(session->current().results.patchList.size()) : 0;
    });
}

extern "C" TAVOPATCH_API int tavoPatchGetPatchElement(int handle, PatchElement* element, int index) {
    return exportGuard(kResultFailed, [&] {
        PatchSession* session = findSession(handle);
        if (session == nullptr || element == nullptr || index < 0) return kResultFailed;
        const auto& list = session->current().results.patchList;
        if (static_cast<std::size_t>(index) >= list.size()) return kResultFailed;

        const PatchListEntry& entry = list[static_cast<std::size_t>(index)];
        PatchElement record{};
        record.patchSize = entry.patchSize;
        record.installFileSize = entry.installFileSize;
        record.extra1 = entry.extra1;
        record.extra2 = entry.extra2;
        record.hashBlockSize = entry.hashBlockSize;
        if (!copyField(record.version, entry.version) || !copyField(record.extraText, entry.extraText) ||
            !copyField(record.url, entry.url) || !copyField(record.hashes, entry.hashes)) {
            pushError(kErrElementFieldTooLong);
            return kResultFailed;
        }
        *element = record;
        return kResultOk;
    });
}
