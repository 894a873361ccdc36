// How zanth-update shows the messages of a run.
#pragma once

#include <memory>
#include <string>

#include "core/PatchNotify.h"

namespace zanth {

class Renderer {
public:
    virtual ~Renderer() = default;
    virtual void render(const Notification& message) = 0;
    // A line of the updater itself (setup failures, the outcome).
    virtual void note(const char* kind, const std::string& text) = 0;
};

std::unique_ptr<Renderer> makeTerminalRenderer();
std::unique_ptr<Renderer> makeJsonRenderer();

}  // namespace zanth
