#include "VersionCheck.h"

#include <new>

#include "MultipartPatchList.h"
#include "VersionCheckCodes.h"
#include "http/HttpCodes.h"
#include "http/HttpRequest.h"
#include "http/HttpSession.h"
#include "platform/ErrorStack.h"

namespace tavo {

VersionCheck::VersionCheck(HttpSession* http, KindState& state, const VersionCheckCodes& codes,
                           const AnswerRules& rules)
    : http_(http), state_(state), codes_(codes), rules_(rules) {}

// A request still in flight is cancelled and left to the session to delete;
// its handlers are detached first, so none runs into this object afterwards.
VersionCheck::~VersionCheck() { releaseRequest(); }

void VersionCheck::releaseRequest() {
    if (request_ && http_) http_->releaseRequest(request_);
    request_ = nullptr;
}

bool VersionCheck::beginFailed(int code) {
    pushError(code);
    releaseRequest();
    return false;
}

bool VersionCheck::begin(const std::string& startArgument) {
    clearErrors();
    if (request_ && request_->isBusy()) {
        pushError(codes_.requestBusy);
        return false;
    }
    releaseRequest();
    body_.clear();
    answer_ = AnswerFields{std::string(), kModuleUnknown, std::string()};

    if (http_ == nullptr) {
        pushError(kErrHttpSessionNotOpen);
        return beginFailed(codes_.noRequest);
    }
    request_ = http_->createRequest();
    if (request_ == nullptr) return beginFailed(codes_.noRequest);
    request_->setOnHeaders([this](HttpRequest&, const HttpResponseStatus& status, const HttpHeaders& headers) {
        return onHeaders(status, headers);
    });
    request_->setOnBodyData([this](HttpRequest&, const char* data, uint32_t length) {
        return onBodyData(data, length);
    });
    const std::string url = buildUrl(startArgument);
    if (!request_->open(url.c_str(), method())) return beginFailed(codes_.openFailed);
    if (!sendRequest(*request_)) return beginFailed(codes_.sendFailed);
    return true;
}

bool VersionCheck::isBusy() { return request_ && request_->isBusy(); }

void VersionCheck::cancel() {
    if (request_) request_->cancel();
}

bool VersionCheck::onHeaders(const HttpResponseStatus& status, const HttpHeaders& headers) {
    return readAnswerHeaders(rules_, status, headers, answer_);
}

bool VersionCheck::onBodyData(const char* data, uint32_t length) {
    if (body_.size() + length > kMaxAnswerBodyBytes) {
        pushError(kErrAnswerBodyTooLarge);
        return false;
    }
    try {
        body_.append(data, length);
    } catch (const std::bad_alloc&) {
        pushError(kErrAnswerBodyTooLarge);
        return false;
    }
    return true;
}

bool VersionCheck::getResponse() {
    if (request_ == nullptr || request_->isBusy()) {
        pushError(codes_.requestBusy);
        return false;
    }
    bool succeeded = false;
    const bool finished = request_->getResult(succeeded);
    releaseRequest();
    if (!finished) return false;
    return succeeded ? acceptAnswer() : explainFailure();
}

bool VersionCheck::acceptAnswer() {
    VersionCheckResults& results = state_.results;
    if (rules_.readsUniqueId) results.uniqueId = answer_.uniqueId;
    // An empty answer means the installation is up to date.
    if (body_.empty()) return true;
    if (answer_.boundary.empty()) {
        if (codes_.noBoundary != 0) pushError(codes_.noBoundary);
        pushError(codes_.parseFailed);
        return false;
    }
    results.moduleKind = answer_.moduleKind;
    if (!parseMultipartPatchList(body_, answer_.boundary, results.patchList)) {
        pushError(codes_.parseFailed);
        return false;
    }
    return true;
}

// The exchange's codes are on this thread's stack now.
bool VersionCheck::explainFailure() {
    if (containsError(kErrHttpCancelled)) {
        clearErrors();
    } else if (containsError(kErrTimeout)) {
        pushError(codes_.timeout);
    } else if (codes_.cisFailure != 0 && containsError(kErrCisException)) {
        popError();
        pushError(codes_.cisFailure);
    }
    return false;
}

}  // namespace tavo
