#include "BootPatchDownloader.h"
#include "HttpGamePatchDownloader.h"
#include "interface/OperationFactories.h"
#include "interface/PatchSession.h"

namespace tavo {

std::unique_ptr<DownloadWorker> createDownloadWorker(PatchSession& session) {
    if (session.kind() == RepositoryKind::Game)
        return std::make_unique<HttpGamePatchDownloader>(session.httpSession(), session.current());
    return std::make_unique<BootPatchDownloader>(session.httpSession(), session.current());
}

}  // namespace tavo
