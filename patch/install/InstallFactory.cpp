#include "PatchInstaller.h"
#include "interface/OperationFactories.h"

namespace tavo {

std::unique_ptr<InstallWorker> createInstallWorker() { return std::make_unique<PatchInstaller>(); }

}  // namespace tavo
