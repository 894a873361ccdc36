#include "VersionCheckUrl.h"

namespace tavo {

std::string versionCheckBaseUrl(const VersionCheckParams& p) {
    return p.scheme + "://" + p.server + ":" + std::to_string(p.port) + p.pathPrefix + "/" +
           p.pathWord + "/" + p.platform + "/" + p.repository + "/" + p.currentVersion + "/";
}

}  // namespace tavo
