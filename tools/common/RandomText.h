// Unpredictable texts (secrets, ids, boundaries) from the system's CSPRNG.
#pragma once

#include <cstddef>
#include <string>

namespace zanth::tools {

// 2 x bytes lowercase hexadecimal digits; empty when no randomness is available.
std::string randomHex(std::size_t bytes);

}  // namespace zanth::tools
