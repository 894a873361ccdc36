// The element's comma-separated block hashes read into the verification table.
#pragma once

#include <string_view>

#include "PatchInfoRecord.h"

namespace tavo {

// Every piece (an empty last piece too) must begin with 40 hexadecimal digits.
// More than 256 pieces: 20520; a bad piece: 20521. Sets hashes and hashCount.
bool readBlockHashes(std::string_view text, PatchInfoRecord& record);

}  // namespace tavo
