// The calling thread's codes and message, kept while helpers that reset the
// stack run, and pushed back afterwards in their original order.
#pragma once

#include <vector>

#include "platform/ErrorStack.h"

namespace tavo {

// Newest first, like copyErrors; an empty stack is not handed to it.
inline void copyErrorsOf(std::vector<int>& out) {
    out.clear();
    if (hasErrors()) copyErrors(out);
}

inline void pushOldestFirst(const std::vector<int>& newestFirst) {
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) pushError(*it);
}

struct ErrorSnapshot {
    std::vector<int> codes;  // newest first
    char message[kErrorMessageSize] = {};

    void take() {
        copyErrorsOf(codes);
        getErrorMessage(message, sizeof message);
    }
    void restore() const {
        clearErrors();
        pushOldestFirst(codes);
        setErrorMessage(message);
    }
};

}  // namespace tavo
