#include "BootVersionCheck.h"

#include <ctime>

#include "HourStamp.h"
#include "VersionCheckCodes.h"
#include "VersionCheckUrl.h"
#include "http/HttpRequest.h"

namespace tavo {

namespace {
constexpr VersionCheckCodes kBootCodes{
    kErrBootRequestBusy, kErrBootNoRequest, kErrBootOpenFailed,  kErrBootSendFailed,
    kErrBootParseFailed, kErrBootTimeout,   kErrBootNoBoundary,  0,
};
constexpr AnswerRules kBootRules{kErrBootClientError, false, false};
}  // namespace

BootVersionCheck::BootVersionCheck(HttpSession* http, KindState& state)
    : VersionCheck(http, state, kBootCodes, kBootRules) {}

std::string BootVersionCheck::buildUrl(const std::string&) const {
    return versionCheckBaseUrl(params()) + "?time=" + utcHourStamp(std::time(nullptr));
}

bool BootVersionCheck::sendRequest(HttpRequest& request) {
    return request.send(nullptr, nullptr, 0, 0);
}

}  // namespace tavo
