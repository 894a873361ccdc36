// The session parameter text given to tavoPatchInitialize.
#pragma once

#include <string>

namespace tavo {

struct SessionParams {
    std::string sessionId;
    std::string bootHash;
};

// "SESSIONID=" and "BOOTHASH=" values run to the next ',' or the end. Without
// either value the whole text is the boot hash.
SessionParams parseSessionParams(const std::string& text);

}  // namespace tavo
