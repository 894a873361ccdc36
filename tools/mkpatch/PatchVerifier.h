// Applies a patch with the library's installer, through its exported
// functions, to a copy of OLD and compares the result with NEW byte for byte.
#pragma once

#include <string>

namespace zanth::tools {

bool verifyPatch(const std::string& oldDir, const std::string& newDir, const std::string& patch,
                 std::string& report);

// Installs `patch` into `installDir` through the exported functions; false
// with the library's detail codes in `report` when it fails.
bool installWithLibrary(const std::string& installDir, const std::string& patch,
                        std::string& report);

}  // namespace zanth::tools
