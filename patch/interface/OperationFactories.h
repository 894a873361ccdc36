// Each subsystem provides the operation it implements to the session.
#pragma once

#include <memory>

#include "OperationWorker.h"

namespace tavo {

class PatchSession;
class SessionHttpClient;

// Pushed by a start whose operation this build does not provide.
constexpr int kErrOperationUnavailable = 21001;

// Null when the HTTP client cannot be set up (the session then works without).
std::unique_ptr<SessionHttpClient> createSessionHttpClient();
std::unique_ptr<VersionCheckWorker> createVersionCheckWorker(PatchSession& session);
std::unique_ptr<DownloadWorker> createDownloadWorker(PatchSession& session);
std::unique_ptr<InstallWorker> createInstallWorker();

}  // namespace tavo
