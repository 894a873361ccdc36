// Splits a URL into scheme, host, port text and path the way the client
// connects: "scheme://host[:port]/path".
#pragma once

#include <string>

namespace tavo {

struct HttpUrl {
    std::string scheme;
    std::string host;
    std::string port;  // "80" / "443" by default for http / https
    std::string path;  // from the first '/', query included; "/" when empty
};

// False when the URL does not parse; `out` then keeps what was recognised
// (the caller connects with it anyway and lets the service fail).
bool parseHttpUrl(const std::string& url, HttpUrl& out);

}  // namespace tavo
