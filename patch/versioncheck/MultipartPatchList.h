// The patch list inside a multipart answer body. Pure: no error codes, no I/O.
#pragma once

#include <string_view>
#include <vector>

#include "interface/PatchSession.h"

namespace tavo {

// Takes the first part after "--" boundary (each delimiter line is taken to
// end in two bytes), skips the part's headers up to CR LF CR LF and appends
// one entry per non-empty line to `out`. False, with `out` untouched, when
// the delimiter is missing, no second delimiter closes the first part, or the
// part has no blank line after its headers.
bool parseMultipartPatchList(std::string_view body, std::string_view boundary,
                             std::vector<PatchListEntry>& out);

}  // namespace tavo
