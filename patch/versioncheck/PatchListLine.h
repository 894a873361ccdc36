// One TAB-separated line of the patch list.
#pragma once

#include <cstdint>
#include <string_view>

#include "interface/PatchSession.h"

namespace tavo {

// Reads a number the way a decimal stream extraction does: leading white
// space, an optional '+', then digits as far as they go. No digit gives 0, as
// does a leading '-' (a negative size has no meaning here); values beyond
// 64 bits saturate.
uint64_t leadingDecimalU64(std::string_view text);

// Fields 1 to 8 by position (every field but the last), the last field is the
// address. The line comes without its line end.
PatchListEntry parsePatchListLine(std::string_view line);

}  // namespace tavo
