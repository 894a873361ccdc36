#include "HttpHeaders.h"

namespace tavo {

namespace {
constexpr const char* kHeaderNames[kHeaderIdCount] = {
    "Accept",            "Accept-Charset",   "Accept-Encoding",     "Accept-Language",
    "Authorization",     "Expect",           "From",                "Host",
    "If-Modified-Since", "If-Match",         "If-None-Match",       "If-Range",
    "If-Unmodified-Since", "Max-Forwards",   "Proxy-Authorization", "Range",
    "Referer",           "TE",               "User-Agent",          "Allow",
    "Content-Encoding",  "Content-Language", "Content-Length",      "Content-Location",
    "Content-MD5",       "Content-Range",    "Content-Type",        "Expires",
    "Last-Modified",     "Accept-Ranges",    "Age",                 "ETag",
    "Location",          "Proxy-Authenticate", "Retry-After",       "Server",
    "Vary",              "WWW-Authenticate", "Cache-Control",       "Connection",
    "Date",              "Pragma",           "Trailer",             "Transfer-Encoding",
    "Upgrade",           "Via",              "Warning",
};
}  // namespace

const char* headerNameById(int index) {
    if (index < 0 || index >= kHeaderIdCount) return nullptr;
    return kHeaderNames[index];
}

}  // namespace tavo
