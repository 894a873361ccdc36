#include "HttpUrl.h"

namespace tavo {

namespace {
constexpr const char* kSchemeSeparator = "://";
}  // namespace

bool parseHttpUrl(const std::string& url, HttpUrl& out) {
    out = HttpUrl();
    std::size_t schemeEnd = url.find(kSchemeSeparator);
    if (schemeEnd == std::string::npos) return false;
    out.scheme = url.substr(0, schemeEnd);
    std::size_t hostStart = schemeEnd + 3;
    std::size_t hostEnd = url.find_first_of(":/", hostStart);
    if (hostEnd == std::string::npos) return false;
    out.host = url.substr(hostStart, hostEnd - hostStart);
    std::size_t pathStart = hostEnd;
    if (url[hostEnd] == ':') {
        pathStart = url.find('/', hostEnd + 1);
        if (pathStart == std::string::npos) {
            out.port = url.substr(hostEnd + 1);
            return false;
        }
        out.port = url.substr(hostEnd + 1, pathStart - hostEnd - 1);
    } else if (out.scheme == "http") {
        out.port = "80";
    } else if (out.scheme == "https") {
        out.port = "443";
    }
    out.path = url.substr(pathStart);
    if (out.path.empty()) out.path.push_back('/');
    return true;
}

}  // namespace tavo
