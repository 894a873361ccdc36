#include "PatchService.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <vector>

#include "ByteRange.h"
#include "PatchLine.h"
#include "RandomText.h"
#include "SignedLink.h"

namespace zanth::tools {

namespace {

constexpr std::size_t kBoundaryBytes = 12;
constexpr std::size_t kMaxHostLength = 255;

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t at = 1;  // the path always begins with "/"
    for (;;) {
        const std::size_t slash = path.find('/', at);
        parts.push_back(path.substr(at, slash == std::string::npos ? std::string::npos : slash - at));
        if (slash == std::string::npos)
            return parts;
        at = slash + 1;
    }
}

bool isHostText(const std::string& host)
{
    return !host.empty() && host.size() <= kMaxHostLength &&
           host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-:[]") ==
               std::string::npos;
}

// The file name of a patch address: after the last "/", before any "?".
std::string addressFileName(std::string address)
{
    while (!address.empty() && (address.back() == '\n' || address.back() == '\r' || address.back() == ' '))
        address.pop_back();
    address = address.substr(0, address.find('?'));
    const std::size_t slash = address.rfind('/');
    return slash == std::string::npos ? address : address.substr(slash + 1);
}

Response notAllowed(const char* allowed)
{
    Response r = textResponse(405, "method not allowed");
    r.add("Allow", allowed);
    return r;
}

}  // namespace

PatchService::PatchService(Manifest manifest, std::string repositoryDir)
    : manifest_(std::move(manifest)), repositoryDir_(std::move(repositoryDir))
{
}

std::string PatchService::fileUri(const ManifestPatch& patch) const
{
    return std::string("/") + kFilePathWord + "/" + manifest_.repository + "/" + patch.file;
}

std::string PatchService::ownBase(const RequestHead& head) const
{
    const std::string* host = head.field("Host");
    return host && isHostText(*host) ? "http://" + *host : std::string();
}

Response PatchService::handle(const RequestHead& head, const std::string& body) const
{
    const std::vector<std::string> parts = splitPath(head.path);
    if (parts.size() == 5 && parts[0] == "http") {
        if (parts[1] != manifest_.platform || parts[2] != manifest_.repository)
            return textResponse(404, "unknown platform or repository");
        // The session id may be empty: the launcher's session text can carry none.
        const bool game = head.method == "POST";
        const bool boot = head.method == "GET" && parts[4].empty();
        if (!game && !boot)
            return head.method == "POST" || head.method == "GET" ? textResponse(404, "no such version check")
                                                                 : notAllowed("GET, POST");
        return versionCheck(head, parts[3]);
    }
    if (parts.size() == 1 && parts[0] == "gen_token")
        return head.method == "POST" ? token(head, body) : notAllowed("POST");
    if (parts.size() == 3 && parts[0] == kFilePathWord && parts[1] == manifest_.repository)
        return head.method == "GET" ? file(head, parts[2]) : notAllowed("GET");
    return textResponse(404, "not found");
}

Response PatchService::versionCheck(const RequestHead& head, const std::string& version) const
{
    const int index = manifest_.versionIndex(version);
    if (index < 0)
        return textResponse(404, "unknown version");
    const std::string id = newUniqueId(manifest_.linkSecret);
    const std::string boundary = randomHex(kBoundaryBytes);
    if (id.empty() || boundary.empty())
        return serverError(kErrorNoRandomness, "no randomness for the unique id");
    Response r;
    r.add("X-Patch-Module", "Mendrel");
    r.add("X-Patch-Unique-Id", id);
    if (static_cast<std::size_t>(index) == manifest_.patches.size())
        return r;  // newest: nothing to do
    const std::string base = ownBase(head);
    if (base.empty())
        return textResponse(400, "missing or bad Host field");
    r.add("Content-Type", "multipart/mixed; boundary=" + boundary);
    r.body = "--" + boundary + "\r\nContent-Type: text/plain\r\n\r\n";
    for (std::size_t i = static_cast<std::size_t>(index); i < manifest_.patches.size(); ++i) {
        const ManifestPatch& p = manifest_.patches[i];
        PatchLine line;
        line.patchSize = p.patchSize;
        line.installFileSize = p.installFileSize;
        line.version = p.version;
        line.extraText = p.extraText;
        line.hashBlockSize = p.hashBlockSize;
        line.hashes = p.hashes;
        line.url = p.url.empty() ? base + fileUri(p) : p.url;
        r.body += line.text() + "\r\n";
    }
    r.body += "--" + boundary + "--\r\n";
    return r;
}

Response PatchService::token(const RequestHead& head, const std::string& body) const
{
    const std::string* id = head.field("X-Patch-Unique-Id");
    if (!id || !isOwnUniqueId(*id, manifest_.linkSecret))
        return textResponse(403, "unknown X-Patch-Unique-Id");
    const ManifestPatch* patch = manifest_.findFile(addressFileName(body));
    if (!patch)
        return textResponse(404, "unknown patch address");
    const std::string base = manifest_.fileBaseUrl.empty() ? ownBase(head) : manifest_.fileBaseUrl;
    if (base.empty())
        return textResponse(400, "missing or bad Host field");
    const uint64_t expires = static_cast<uint64_t>(std::time(nullptr)) + manifest_.linkLifetime;
    Response r;
    r.add("Content-Type", "text/plain");
    r.body = base + signedLink(fileUri(*patch), expires, manifest_.linkSecret);
    return r;
}

Response PatchService::file(const RequestHead& head, const std::string& name) const
{
    const ManifestPatch* patch = manifest_.findFile(name);
    const std::string uri = std::string("/") + kFilePathWord + "/" + manifest_.repository + "/" + name;
    const LinkCheck check = checkLink(uri, head.queryValue("md5"), head.queryValue("expires"),
                                      manifest_.linkSecret, static_cast<uint64_t>(std::time(nullptr)));
    if (check != LinkCheck::valid)
        return textResponse(403, check == LinkCheck::expired ? "address expired" : "bad signature");
    if (!patch)
        return textResponse(404, "unknown patch file");
    const std::string path = repositoryDir_ + "/" + patch->file;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return serverError(kErrorPatchFileUnreadable, "patch file cannot be read");
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    const std::string* rangeField = head.field("Range");
    const ByteRange range = rangeField ? parseByteRange(*rangeField, size) : ByteRange{};
    if (range.kind == RangeKind::unsatisfiable) {
        Response r = textResponse(416, "range not satisfiable");
        r.add("Content-Range", "bytes */" + std::to_string(size));
        return r;
    }
    Response r;
    r.add("Content-Type", "application/octet-stream");
    r.add("Accept-Ranges", "bytes");
    r.file = std::move(fd);
    r.fileOffset = range.kind == RangeKind::part ? range.first : 0;
    r.fileLength = range.kind == RangeKind::part ? range.length : size;
    if (range.kind == RangeKind::part) {
        r.status = 206;
        r.add("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                   std::to_string(range.first + range.length - 1) + "/" + std::to_string(size));
    }
    return r;
}

}  // namespace zanth::tools
