// An nginx "server" block that serves the repository's patch files under the
// same signed addresses as the service's own file endpoint, for an "http"
// block (include it, or wrap it in a configuration of its own).
#pragma once

#include <string>

#include "Manifest.h"

namespace zanth::tools {

std::string nginxServerBlock(const Manifest& manifest, const std::string& repositoryDir,
                             const std::string& listen);

}  // namespace zanth::tools
