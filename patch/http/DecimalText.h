// atoi-style reading: leading white space, an optional sign, then digits as
// far as they go; 0 when no digit follows. Results saturate instead of
// overflowing.
#pragma once

#include <cstddef>

namespace tavo {

int leadingDecimalInt(const char* text, std::size_t length);

}  // namespace tavo
