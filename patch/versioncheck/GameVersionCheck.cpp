#include "GameVersionCheck.h"

#include "VersionCheckCodes.h"
#include "VersionCheckUrl.h"
#include "http/HttpRequest.h"

namespace tavo {

namespace {
constexpr VersionCheckCodes kGameCodes{
    kErrGameRequestBusy, kErrGameNoRequest,   kErrGameOpenFailed, kErrGameSendFailed,
    kErrGameParseFailed, kErrGameTimeout,     0,                  kErrGameCisFailure,
};
constexpr AnswerRules kGameRules{kErrGameClientError, true, true};
constexpr const char* kHashCheckHeader = "X-Hash-Check: enabled\r\n";
}  // namespace

GameVersionCheck::GameVersionCheck(HttpSession* http, KindState& state)
    : VersionCheck(http, state, kGameCodes, kGameRules) {}

std::string GameVersionCheck::buildUrl(const std::string& sessionId) const {
    return versionCheckBaseUrl(params()) + sessionId;
}

bool GameVersionCheck::sendRequest(HttpRequest& request) {
    requestBody_ = params().bootHash + "\n";
    const auto length = static_cast<uint32_t>(requestBody_.size());
    return request.send(kHashCheckHeader, requestBody_.data(), length, length);
}

}  // namespace tavo
