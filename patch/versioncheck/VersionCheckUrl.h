// The address both checks share, up to and including the slash after the
// current version.
#pragma once

#include <string>

#include "interface/PatchSession.h"

namespace tavo {

// scheme "://" server ":" port prefix "/" path word "/" platform "/"
// repository "/" current version "/"
std::string versionCheckBaseUrl(const VersionCheckParams& p);

}  // namespace tavo
