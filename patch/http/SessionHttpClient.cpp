#include "SessionHttpClient.h"

#include "HttpSession.h"
#include "interface/OperationFactories.h"
#include "platform/WorkerThread.h"

namespace tavo {

namespace {
constexpr const char* kUserAgent = "ZANTH_Patch";
constexpr const char* kUpdaterName = "HttpClientUpdater";
}  // namespace

// Pumps until a pass finds nothing; the step loop then sleeps 1 ms. So data
// that is already there is taken at once, and an idle client costs a wake-up
// per millisecond.
class HttpClientUpdater : public WorkerThread {
public:
    explicit HttpClientUpdater(HttpSession& session)
        : WorkerThread(true, kUpdaterName), session_(session) {}
    ~HttpClientUpdater() override { stopAndWait(); }

protected:
    int step() override {
        while (session_.pump() && state() == Running) {
        }
        return 0;
    }

private:
    HttpSession& session_;
};

SessionHttpClient::SessionHttpClient() : session_(std::make_unique<HttpSession>()) {}

SessionHttpClient::~SessionHttpClient() {
    stopUpdater();
    updater_.reset();
    session_.reset();
}

bool SessionHttpClient::start() {
    if (!session_->open(kUserAgent)) return false;
    updater_ = std::make_unique<HttpClientUpdater>(*session_);
    ready_ = updater_->start();
    return ready_;
}

void SessionHttpClient::stopUpdater() {
    if (updater_) updater_->stopAndWait();
}

std::unique_ptr<SessionHttpClient> createSessionHttpClient() {
    auto client = std::make_unique<SessionHttpClient>();
    client->start();  // a failure is not reported: requests then cannot be created
    return client;
}

}  // namespace tavo
