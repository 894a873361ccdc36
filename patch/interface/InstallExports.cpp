// Installation of a downloaded patch file into the game directory.
#include "ExportGuard.h"
#include "OperationFactories.h"
#include "ResultCodes.h"
#include "SessionTable.h"
#include "platform/ErrorStack.h"
#include "platform/PathText.h"

using namespace tavo;

extern "C" TAVOPATCH_API int tavoPatchInstallStart(int handle, const char* installDir,
                                                   const char* patchFilePath) {
    return exportGuard(kResultFailed, [&] {
        PatchSession* session = findSession(handle);
        if (session == nullptr) return kResultFailed;
        // Stored before they are checked, as callers have always seen it.
        session->installDirectory = installDir ? installDir : "";
        session->installPatchPath = patchFilePath ? patchFilePath : "";
        if (!isValidUtf8(installDir) || !isValidUtf8(patchFilePath)) return kResultBadUtf8;
        if (!session->installer) {
            pushError(kErrOperationUnavailable);
            return kResultFailed;
        }
        return session->installer->start(session->installPatchPath, session->installDirectory)
                   ? kResultOk
                   : kResultFailed;
    });
}

extern "C" TAVOPATCH_API int tavoPatchInstallIsBusy(int handle, InstallProgress* progress) {
    return exportGuard(0, [&] {
        PatchSession* session = findSession(handle);
        if (session == nullptr || !session->installer) return 0;
        if (progress) session->installer->progress(*progress);
        return session->installer->isBusy() ? 1 : 0;
    });
}

extern "C" TAVOPATCH_API int tavoPatchInstallCancel(int handle) {
    return exportGuard(kResultFailed, [&] {
        PatchSession* session = findSession(handle);
        if (session == nullptr) return kResultFailed;
        if (session->installer) session->installer->cancel();
        return kResultOk;
    });
}

extern "C" TAVOPATCH_API int tavoPatchInstallGetResponse(int handle) {
    return exportGuard(kResultFailed, [&] {
        PatchSession* session = findSession(handle);
        if (session == nullptr || !session->installer) return kResultFailed;
        return session->installer->getResponse() ? kResultOk : kResultFailed;
    });
}
