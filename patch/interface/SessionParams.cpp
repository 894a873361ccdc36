#include "SessionParams.h"

namespace tavo {
namespace {

std::string valueOf(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return {};
    const std::size_t begin = at + key.size();
    const std::size_t end = text.find(',', begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

SessionParams parseSessionParams(const std::string& text) {
    SessionParams params{valueOf(text, "SESSIONID="), valueOf(text, "BOOTHASH=")};
    if (params.sessionId.empty() && params.bootHash.empty()) params.bootHash = text;
    return params;
}

}  // namespace tavo
