// The game repository's check: a POST naming the session id, carrying the
// boot hash.
#pragma once

#include "VersionCheck.h"

namespace tavo {

class GameVersionCheck : public VersionCheck {
public:
    GameVersionCheck(HttpSession* http, KindState& state);

protected:
    std::string buildUrl(const std::string& sessionId) const override;
    const char* method() const override { return "POST"; }
    bool sendRequest(HttpRequest& request) override;

private:
    std::string requestBody_;  // must outlive the send
};

}  // namespace tavo
