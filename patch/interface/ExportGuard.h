// Nothing may throw across the exported interface: an exception that escapes
// an operation (in practice only std::bad_alloc) becomes a failure result.
#pragma once

#include <utility>

namespace tavo {

template <class Result, class Body>
Result exportGuard(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

}  // namespace tavo
