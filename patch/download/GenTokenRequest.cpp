#include "GenTokenRequest.h"

#include "DownloadCodes.h"
#include "http/HttpCodes.h"
#include "http/HttpRequest.h"
#include "http/HttpResponseStatus.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr int kStatusOkFirst = 200;
constexpr int kStatusOkLast = 299;
// The answer is an address: far longer ones are refused instead of stored.
constexpr std::size_t kMaxTokenBytes = 64 * 1024;
constexpr const char* kUniqueIdHeader = "X-Patch-Unique-Id: ";

}  // namespace

bool GenTokenRequest::failBegin(int code) {
    pushError(code);
    slot_.release();
    return false;
}

bool GenTokenRequest::begin(const TokenServer& token, const std::string& uniqueId,
                            const std::string& patchUrl) {
    if (isBusy()) {
        pushError(kErrTokenBusy);
        return false;
    }
    answer_.clear();
    HttpRequest* request = slot_.create();
    if (request == nullptr) return failBegin(kErrTokenNoRequest);
    request->setOnHeaders([this](HttpRequest&, const HttpResponseStatus& status, const HttpHeaders&) {
        return onHeaders(status);
    });
    request->setOnBodyData([this](HttpRequest&, const char* data, uint32_t length) {
        return onBodyData(data, length);
    });
    const std::string url = token.scheme + "://" + token.server + ":" + std::to_string(token.port) + token.path;
    if (!request->open(url.c_str(), "POST")) return failBegin(kErrTokenOpenFailed);
    requestHeaders_ = kUniqueIdHeader + uniqueId;
    requestBody_ = patchUrl;
    const auto length = static_cast<uint32_t>(requestBody_.size());
    if (!request->send(requestHeaders_.c_str(), requestBody_.data(), length, length))
        return failBegin(kErrTokenSendFailed);
    return true;
}

bool GenTokenRequest::isBusy() const { return slot_.get() && slot_.get()->isBusy(); }

bool GenTokenRequest::onHeaders(const HttpResponseStatus& status) {
    if (status.statusCode() < kStatusOkFirst || status.statusCode() > kStatusOkLast) {
        pushError(status.statusCode());
        return false;
    }
    return true;
}

bool GenTokenRequest::onBodyData(const char* data, uint32_t length) {
    if (answer_.size() + length > kMaxTokenBytes) {
        pushError(kErrTokenTooLong);
        return false;
    }
    answer_.append(data, length);
    return true;
}

bool GenTokenRequest::takeAnswer(std::string& token) {
    HttpRequest* request = slot_.get();
    if (request == nullptr) return false;
    if (request->isBusy()) {
        pushError(kErrTokenBusy);
        return false;
    }
    bool succeeded = false;
    const bool finished = request->getResult(succeeded);
    slot_.release();
    if (!finished) return false;
    if (!succeeded) {
        if (containsError(kErrHttpCancelled)) clearErrors();
        return false;
    }
    token = answer_;
    if (!token.empty() && token.back() == '\n') token.pop_back();
    if (!token.empty() && token.back() == '\r') token.pop_back();
    return true;
}

}  // namespace tavo
