// Paths taken from a patch must stay inside the installation directory.
#pragma once

#include <string>

namespace tavo {

// True for a relative path without "..", drive or stream colons and control
// bytes (which the system-path conversion could turn into other characters).
// Checked on the text as written and on its system form.
bool isContainedRelativePath(const std::string& path);

}  // namespace tavo
