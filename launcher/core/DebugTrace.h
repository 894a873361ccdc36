// The launcher's diagnostic trace: printf-style lines on standard error while
// the trace switch is on, nothing otherwise. There is no log file.
#pragma once

#include <functional>
#include <string>

namespace zanth {

// One formatted line is at most this many bytes; longer output is cut.
inline constexpr std::size_t kTraceLineLimit = 4095;

void setTraceEnabled(bool on);
bool traceEnabled();

// Replaces standard error as the destination (tests, the updater's --json
// mode); an empty function restores standard error.
using TraceSink = std::function<void(const std::string& line)>;
void setTraceSink(TraceSink sink);

void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zanth
