// The text that explains a failed update run: a message chosen from the
// library's error codes (by code sequence, then by the first code) and the
// codes themselves on a line of their own.
#pragma once

#include <string>

namespace zanth {

inline constexpr int kMaxErrorCodes = 20;
inline constexpr std::size_t kMaxErrorTextBytes = 2047;

// codes[0] is the most recent code; count <= 0 gives the empty text.
std::string composeErrorText(const int* codes, int count);

// The message index chosen for the codes, or -1 when no table holds them.
int errorMessageIndex(const int* codes, int count);

}  // namespace zanth
