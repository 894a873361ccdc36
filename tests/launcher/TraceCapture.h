// Collects the launcher's trace lines for the duration of a test.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/DebugTrace.h"

class TraceCapture {
public:
    TraceCapture() {
        zanth::setTraceEnabled(true);
        zanth::setTraceSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~TraceCapture() {
        zanth::setTraceSink({});
        zanth::setTraceEnabled(false);
    }
    bool contains(const std::string& part) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& line : lines_)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};
