#include "interface/OperationFactories.h"
#include "interface/PatchSession.h"
#include "platform/ErrorStack.h"

namespace tavo {

// Not built yet: the start reports it.
std::unique_ptr<DownloadWorker> createDownloadWorker(PatchSession&) {
    pushError(kErrOperationUnavailable);
    return nullptr;
}

}  // namespace tavo
