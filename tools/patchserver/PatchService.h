// What the patch service answers: the version check (game variant POST
// /http/PLATFORM/REPOSITORY/VERSION/SESSIONID, boot variant GET
// /http/PLATFORM/REPOSITORY/VERSION/?time=...), the token request POST
// /gen_token and the signed file addresses GET /patch/REPOSITORY/FILE?md5=&expires=.
// No state besides the repository: unique ids and addresses are signed.
#pragma once

#include <cstdint>
#include <string>

#include "Manifest.h"
#include "RequestHead.h"
#include "Response.h"

namespace zanth::tools {

// Codes of "X-Patch-Error-Code" on 5xx answers.
constexpr int kErrorPatchFileUnreadable = 30001;
constexpr int kErrorNoRandomness = 30002;

constexpr const char* kFilePathWord = "patch";

class PatchService {
public:
    PatchService(Manifest manifest, std::string repositoryDir);

    Response handle(const RequestHead& head, const std::string& body) const;

    // Path of a patch's signed address (before the query).
    std::string fileUri(const ManifestPatch& patch) const;

private:
    Response versionCheck(const RequestHead& head, const std::string& version) const;
    Response token(const RequestHead& head, const std::string& body) const;
    Response file(const RequestHead& head, const std::string& name) const;
    std::string ownBase(const RequestHead& head) const;

    Manifest manifest_;
    std::string repositoryDir_;
};

}  // namespace zanth::tools
