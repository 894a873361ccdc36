// The boot repository's check: a GET with an hourly UTC time stamp.
#pragma once

#include "VersionCheck.h"

namespace tavo {

class BootVersionCheck : public VersionCheck {
public:
    BootVersionCheck(HttpSession* http, KindState& state);

protected:
    std::string buildUrl(const std::string& unused) const override;
    const char* method() const override { return "GET"; }
    bool sendRequest(HttpRequest& request) override;
};

}  // namespace tavo
