// The environment the launcher runs in: type from the command line, the
// endpoints (table row or a complete override) and the variant of the last
// update run.
#pragma once

#include <string>

#include "core/Environment.h"

namespace zanth {

class EnvironmentState {
public:
    // Start-up choice from the second and third command-line arguments; also
    // sets the trace switch of the type.
    void chooseAtStart(const char* typeArgument, const char* overrideArgument);
    // SelectEnvironmentEndpoints unless the endpoints came complete from the
    // command line; records the variant either way.
    void selectEndpoints(bool variant);

    int type() const { return type_; }
    bool variant() const { return variant_; }
    bool customEndpoints() const { return custom_; }
    const Endpoints& endpoints() const { return endpoints_; }
    const EnvironmentRow& row() const { return environmentRow(type_, variant_); }
    std::string title() const { return windowTitle(type_); }
    std::string pageRoot() const { return zanth::pageRoot(type_); }

private:
    int type_ = 0;
    bool variant_ = false;
    bool custom_ = false;
    Endpoints endpoints_;
};

}  // namespace zanth
