#include "core/EnvironmentState.h"

#include "core/DebugTrace.h"
#include "core/EndpointOverride.h"

namespace zanth {

void EnvironmentState::chooseAtStart(const char* typeArgument, const char* overrideArgument) {
    type_ = parseEnvironmentType(typeArgument);
    variant_ = false;
    endpoints_ = Endpoints{};
    if (overrideArgument != nullptr && overrideArgument[0] != '-')
        readEndpointOverride(overrideArgument, endpoints_);
    custom_ = endpoints_.complete();
    if (!custom_) endpoints_ = endpointsOf(environmentRow(type_, false));
    setTraceEnabled(traceSwitch(type_));
}

void EnvironmentState::selectEndpoints(bool variant) {
    variant_ = variant;
    if (!custom_) endpoints_ = endpointsOf(environmentRow(type_, variant));
}

}  // namespace zanth
