#include "core/DebugTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace zanth {

namespace {

std::atomic<bool> g_enabled{false};
std::mutex g_sinkMutex;
TraceSink g_sink;

}  // namespace

void setTraceEnabled(bool on) { g_enabled.store(on); }

bool traceEnabled() { return g_enabled.load(); }

void setTraceSink(TraceSink sink) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    g_sink = std::move(sink);
}

void DebugTrace(const char* format, ...) {
    if (!g_enabled.load()) return;
    char buffer[kTraceLineLimit + 1] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);

    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_sink) {
        g_sink(buffer);
    } else {
        // Each call is one entry, as in a debugger's output window.
        std::fputs(buffer, stderr);
        const std::size_t length = std::strlen(buffer);
        if (length == 0 || buffer[length - 1] != '\n') std::fputc('\n', stderr);
    }
}

}  // namespace zanth
