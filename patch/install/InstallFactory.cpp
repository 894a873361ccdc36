#include "interface/OperationFactories.h"
#include "platform/ErrorStack.h"

namespace tavo {

// Not built yet: the start reports it.
std::unique_ptr<InstallWorker> createInstallWorker() {
    pushError(kErrOperationUnavailable);
    return nullptr;
}

}  // namespace tavo
