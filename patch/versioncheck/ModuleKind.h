// The patch module an answer names in "X-Patch-Module".
#pragma once

#include <string>

namespace tavo {

// 0 "Mendrel", 1 "RTPatch", 2 "VcdPatch" (exact comparison), else -1.
int moduleKindFromName(const std::string& name);

}  // namespace tavo
