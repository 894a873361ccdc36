// The JSON endpoint override of the launcher's command line.
#pragma once

#include <string>

#include "core/Environment.h"

namespace zanth {

// The argument is cut to 4095 characters, then after its last "}"; a root
// object's members LOBBY_HOST, LOBBY_PORT, GMSERVER_HOST,
// GAME_VERSION_CHECK_SERVER and REPOSITORY set the endpoint of that name when
// their value is a string. Anything else leaves the endpoints untouched.
void readEndpointOverride(const std::string& argument, Endpoints& endpoints);

}  // namespace zanth
