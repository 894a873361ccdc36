// Library version, session creation and destruction, error-code read-back.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ExportGuard.h"
#include "ResultCodes.h"
#include "SessionParams.h"
#include "SessionTable.h"
#include "platform/ErrorStack.h"
#include "platform/PathText.h"

using namespace tavo;

namespace {

constexpr char kLibraryVersion[] = "1.02";
constexpr std::size_t kVersionBufferSize = 256;

struct RepositoryName {
    const char* name;
    RepositoryKind kind;
};
constexpr RepositoryName kRepositories[] = {
    {"boot", RepositoryKind::Boot},
    {"game", RepositoryKind::Game},
};

}  // namespace

extern "C" TAVOPATCH_API const char* tavoPatchGetVersion(void) {
    static const char* const text = [] {
        static char buffer[kVersionBufferSize] = {};
        std::snprintf(buffer, sizeof buffer, "%s%s", kLibraryVersion, "");
        return buffer;
    }();
    return text;
}

extern "C" TAVOPATCH_API int tavoPatchInitialize(const char* repository, const char* sessionParams) {
    return exportGuard(kNoHandle, [&] {
        if (repository == nullptr || !isValidUtf8(sessionParams)) return kNoHandle;
        const RepositoryName* match = nullptr;
        for (const RepositoryName& r : kRepositories)
            if (std::strcmp(repository, r.name) == 0) match = &r;
        if (match == nullptr) return kNoHandle;

        const SessionParams params = parseSessionParams(sessionParams);
        const int handle = insertSession(match->kind);
        if (handle == kNoHandle) return kNoHandle;
        PatchSession* session = findSession(handle);
        session->sessionId = params.sessionId;
        session->bootHash = params.bootHash;
        return handle;
    });
}

extern "C" TAVOPATCH_API int tavoPatchFinalize(int handle) {
    return exportGuard(kResultFailed, [&] { return eraseSession(handle) ? kResultOk : kResultFailed; });
}

extern "C" TAVOPATCH_API int tavoPatchGetErrorCodes(int* codes, int capacity) {
    return exportGuard(0, [&] {
        if (codes == nullptr || capacity <= 0) return 0;
        std::vector<int> stack;
        copyErrors(stack);
        const int n = std::min(capacity, static_cast<int>(stack.size()));
        std::copy_n(stack.begin(), n, codes);
        return n;
    });
}
