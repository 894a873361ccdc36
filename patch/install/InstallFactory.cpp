#include "interface/OperationFactories.h"

namespace tavo {

// Not built yet: the session has no installer and its start reports it.
std::unique_ptr<InstallWorker> createInstallWorker() { return nullptr; }

}  // namespace tavo
