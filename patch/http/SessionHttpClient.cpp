#include "SessionHttpClient.h"

#include <memory>

#include "interface/OperationFactories.h"

namespace tavo {

SessionHttpClient::~SessionHttpClient() = default;
void SessionHttpClient::stopUpdater() {}

// The HTTP client is not built yet: sessions work without one.
std::unique_ptr<SessionHttpClient> createSessionHttpClient() { return nullptr; }

}  // namespace tavo
