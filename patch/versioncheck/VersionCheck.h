// What the game and boot version checks share: the request's life, the answer
// handlers and the response algorithm. The variants give the request's form
// and their codes.
#pragma once

#include <cstdint>
#include <string>

#include "AnswerHeaders.h"
#include "interface/OperationWorker.h"
#include "interface/PatchSession.h"

namespace tavo {

class HttpRequest;
class HttpSession;

// An answer body beyond this is refused (21040) instead of exhausting memory.
constexpr std::size_t kMaxAnswerBodyBytes = 64u << 20;

struct VersionCheckCodes {
    int requestBusy;   // in flight at begin, missing or in flight at getResponse
    int noRequest;
    int openFailed;
    int sendFailed;
    int parseFailed;
    int timeout;
    int noBoundary;    // 0 when the variant pushes only the parse failure
    int cisFailure;    // 0 when the variant has no "CIS Exception" rule
};

class VersionCheck : public VersionCheckWorker {
public:
    ~VersionCheck() override;
    VersionCheck(const VersionCheck&) = delete;
    VersionCheck& operator=(const VersionCheck&) = delete;

    bool begin(const std::string& startArgument) override;
    bool isBusy() override;
    bool getResponse() override;
    void cancel() override;

protected:
    VersionCheck(HttpSession* http, KindState& state, const VersionCheckCodes& codes,
                 const AnswerRules& rules);

    virtual std::string buildUrl(const std::string& startArgument) const = 0;
    virtual const char* method() const = 0;
    virtual bool sendRequest(HttpRequest& request) = 0;

    const VersionCheckParams& params() const { return state_.versionCheck; }

private:
    bool beginFailed(int code);
    void releaseRequest();
    bool acceptAnswer();
    bool explainFailure();
    bool onHeaders(const HttpResponseStatus& status, const HttpHeaders& headers);
    bool onBodyData(const char* data, uint32_t length);

    HttpSession* http_;
    KindState& state_;
    const VersionCheckCodes codes_;
    const AnswerRules rules_;
    HttpRequest* request_ = nullptr;
    // Written by the handlers on the pump thread while the request is in
    // flight; read here only once it has finished.
    std::string body_;
    AnswerFields answer_{std::string(), kModuleUnknown, std::string()};
};

}  // namespace tavo
