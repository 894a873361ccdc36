// Patch service: arbitrary request bytes through the request-head parser,
// the Range parser and the service's routing on a fixed repository.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ByteRange.h"
#include "Manifest.h"
#include "PatchService.h"
#include "RequestHead.h"

namespace {

const zanth::tools::PatchService& service()
{
    static const zanth::tools::PatchService instance = [] {
        zanth::tools::Manifest manifest;
        manifest.baseVersion = "1.0";
        manifest.linkSecret = "fuzz-secret-0123456789";
        zanth::tools::ManifestPatch patch;
        patch.version = "1.1";
        patch.file = "p1.patch";
        patch.patchSize = 1;
        patch.hashBlockSize = 65536;
        manifest.patches.push_back(patch);
        return zanth::tools::PatchService(manifest, "/nonexistent-fuzz-repository");
    }();
    return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    zanth::tools::RequestHead head;
    const zanth::tools::HeadResult result = zanth::tools::parseRequestHead(bytes, head);
    if (result.status == zanth::tools::HeadStatus::refused && (result.refusal < 400 || result.refusal > 499))
        __builtin_trap();
    if (result.status != zanth::tools::HeadStatus::complete)
        return 0;
    if (result.length > size)
        __builtin_trap();
    if (const std::string* range = head.field("Range")) {
        const zanth::tools::ByteRange r = zanth::tools::parseByteRange(*range, 1000);
        if (r.kind == zanth::tools::RangeKind::part && (r.length == 0 || r.first + r.length > 1000))
            __builtin_trap();
    }
    const std::string body(bytes.substr(result.length));
    const zanth::tools::Response response = service().handle(head, body);
    if (response.status < 200 || response.status > 599)
        __builtin_trap();
    return 0;
}
