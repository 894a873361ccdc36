// Feeds arbitrary bytes to the patch-list parser: the first byte chooses how
// long the boundary is, the next bytes are the boundary, the rest is the
// answer body. It must never crash or read outside the body, and a parsed
// list must only be appended to.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "versioncheck/MultipartPatchList.h"

namespace {
constexpr std::size_t kMaxBoundary = 70;  // the longest boundary a MIME writer may use
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t boundaryLength = std::min<std::size_t>(data[0] % (kMaxBoundary + 1), size - 1);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view boundary = bytes.substr(0, boundaryLength);
    const std::string_view body = bytes.substr(boundaryLength);

    std::vector<tavo::PatchListEntry> list(1);
    list[0].url = "kept";
    const bool parsed = tavo::parseMultipartPatchList(body, boundary, list);
    if (list.empty() || list[0].url != "kept") std::abort();
    if (!parsed && list.size() != 1) std::abort();
    // Every entry comes from a non-empty line of the body.
    if (list.size() - 1 > body.size()) std::abort();
    return 0;
}
