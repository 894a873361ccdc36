#include <memory>

#include "BootVersionCheck.h"
#include "GameVersionCheck.h"
#include "interface/OperationFactories.h"
#include "interface/PatchSession.h"

namespace tavo {

std::unique_ptr<VersionCheckWorker> createVersionCheckWorker(PatchSession& session) {
    if (session.kind() == RepositoryKind::Game)
        return std::make_unique<GameVersionCheck>(session.httpSession(), session.current());
    return std::make_unique<BootVersionCheck>(session.httpSession(), session.current());
}

}  // namespace tavo
