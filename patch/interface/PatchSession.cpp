#include "PatchSession.h"

#include "OperationFactories.h"
#include "http/SessionHttpClient.h"

namespace tavo {

PatchSession::PatchSession(RepositoryKind kind)
    : installer(createInstallWorker()), kind_(kind), http_(createSessionHttpClient()) {}

// The pump thread goes first, so that no answer handler runs while the
// workers it calls into are destroyed; the HTTP client, which the workers'
// requests belong to, goes last.
PatchSession::~PatchSession() {
    if (http_) http_->stopUpdater();
    installer.reset();
    for (KindState* state : {&game_, &boot_}) {
        state->versionCheckWorker.reset();
        state->downloadWorker.reset();
    }
    http_.reset();
}

HttpSession* PatchSession::httpSession() const { return http_ ? http_->session() : nullptr; }

}  // namespace tavo
