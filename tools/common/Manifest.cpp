#include "Manifest.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "PatchLine.h"

namespace zanth::tools {

namespace {

constexpr uint64_t kMaxLinkLifetime = 7 * 24 * 3600;
constexpr uint64_t kMaxClientHashes = 256;

using Value = rapidjson::Value;

// The member `name`, or null; a missing required member is a problem.
const Value* findMember(const Value& object, const char* name, bool required, std::string& problem)
{
    const auto member = object.FindMember(name);
    if (member != object.MemberEnd())
        return &member->value;
    if (required)
        problem = std::string(name) + ": missing";
    return nullptr;
}

bool readText(const Value& object, const char* name, bool required, std::string& out,
              std::string& problem)
{
    const Value* value = findMember(object, name, required, problem);
    if (!value)
        return !required;
    if (!value->IsString()) {
        problem = std::string(name) + ": not a string";
        return false;
    }
    out.assign(value->GetString(), value->GetStringLength());
    if (out.find('\0') != std::string::npos || !isPlainField(out)) {
        problem = std::string(name) + ": control characters";
        return false;
    }
    return true;
}

bool readNumber(const Value& object, const char* name, bool required, uint64_t& out,
                std::string& problem)
{
    const Value* value = findMember(object, name, required, problem);
    if (!value)
        return !required;
    if (!value->IsUint64()) {
        problem = std::string(name) + ": not an unsigned integer";
        return false;
    }
    out = value->GetUint64();
    return true;
}

bool isPathWord(const std::string& text)
{
    return !text.empty() && text.find_first_of("/?#% \\") == std::string::npos;
}

bool isHashList(const std::string& hashes, uint64_t& count)
{
    count = 0;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = hashes.find(',', at);
        const std::string piece = hashes.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (piece.size() != 40 || piece.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        ++count;
        if (comma == std::string::npos)
            return true;
        at = comma + 1;
    }
}

bool parsePatch(const Value& item, ManifestPatch& patch, std::string& problem)
{
    if (!item.IsObject()) {
        problem = "not an object";
        return false;
    }
    if (!readText(item, "version", true, patch.version, problem) ||
        !readText(item, "file", true, patch.file, problem) ||
        !readText(item, "url", false, patch.url, problem) ||
        !readText(item, "extraText", false, patch.extraText, problem) ||
        !readNumber(item, "patchSize", true, patch.patchSize, problem) ||
        !readNumber(item, "installFileSize", false, patch.installFileSize, problem) ||
        !readNumber(item, "hashBlockSize", true, patch.hashBlockSize, problem) ||
        !readText(item, "hashes", true, patch.hashes, problem))
        return false;
    uint64_t count = 0;
    if (!isPathWord(patch.version))
        problem = "version: empty or holds one of / ? # % space \\";
    else if (!isSafeFileName(patch.file))
        problem = "file: not a plain file name";
    else if (patch.patchSize == 0 || patch.hashBlockSize == 0)
        problem = "patchSize and hashBlockSize must not be 0";
    else if (!isHashList(patch.hashes, count))
        problem = "hashes: not comma-separated 40-digit SHA-1 values";
    else if (count > kMaxClientHashes)
        problem = "hashes: more than 256 blocks";
    else if (count != (patch.patchSize + patch.hashBlockSize - 1) / patch.hashBlockSize)
        problem = "hashes: count does not fit patchSize and hashBlockSize";
    else if (patch.hashes.size() >= 4096)
        problem = "hashes: longer than the client's 4096-byte field";
    return problem.empty();
}

bool checkChain(const Manifest& manifest, std::string& problem)
{
    std::set<std::string> versions = {manifest.baseVersion};
    std::set<std::string> files;
    for (std::size_t i = 0; i < manifest.patches.size(); ++i) {
        const ManifestPatch& p = manifest.patches[i];
        const std::string where = "patches[" + std::to_string(i) + "]: ";
        if (!versions.insert(p.version).second)
            problem = where + "version '" + p.version + "' appears twice in the chain";
        else if (!files.insert(p.file).second)
            problem = where + "file '" + p.file + "' is used twice";
        if (!problem.empty())
            return false;
    }
    return true;
}

}  // namespace

int Manifest::versionIndex(const std::string& version) const
{
    if (version == baseVersion)
        return 0;
    for (std::size_t i = 0; i < patches.size(); ++i)
        if (patches[i].version == version)
            return static_cast<int>(i + 1);
    return -1;
}

const ManifestPatch* Manifest::findFile(const std::string& file) const
{
    for (const ManifestPatch& p : patches)
        if (p.file == file)
            return &p;
    return nullptr;
}

bool isSafeFileName(const std::string& name)
{
    return !name.empty() && name[0] != '.' && name.size() <= 200 &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") ==
               std::string::npos;
}

bool parseManifest(const std::string& json, Manifest& manifest, std::string& problem)
{
    rapidjson::Document doc;
    doc.Parse(json.data(), json.size());
    if (doc.HasParseError()) {
        problem = std::string("not valid JSON at offset ") + std::to_string(doc.GetErrorOffset()) +
                  ": " + rapidjson::GetParseError_En(doc.GetParseError());
        return false;
    }
    if (!doc.IsObject()) {
        problem = "the top level is not an object";
        return false;
    }
    manifest = Manifest{};
    if (!readText(doc, "repository", false, manifest.repository, problem) ||
        !readText(doc, "platform", false, manifest.platform, problem) ||
        !readText(doc, "baseVersion", true, manifest.baseVersion, problem) ||
        !readText(doc, "linkSecret", true, manifest.linkSecret, problem) ||
        !readNumber(doc, "linkLifetime", false, manifest.linkLifetime, problem) ||
        !readText(doc, "fileBaseUrl", false, manifest.fileBaseUrl, problem))
        return false;
    if (!isPathWord(manifest.repository) || !isPathWord(manifest.platform) ||
        !isPathWord(manifest.baseVersion)) {
        problem = "repository, platform and baseVersion must be non-empty words without / ? # % space \\";
        return false;
    }
    if (manifest.linkSecret.size() < kMinSecretLength || manifest.linkSecret.find_first_of(" ;\"'{}$\\") != std::string::npos) {
        problem = "linkSecret: at least 16 characters, none of space ; \" ' { } $ \\";
        return false;
    }
    if (manifest.linkLifetime < 60 || manifest.linkLifetime > kMaxLinkLifetime) {
        problem = "linkLifetime: between 60 and 604800 seconds";
        return false;
    }
    if (!manifest.fileBaseUrl.empty() && !manifest.fileBaseUrl.starts_with("http://") &&
        !manifest.fileBaseUrl.starts_with("https://")) {
        problem = "fileBaseUrl: must begin with http:// or https://";
        return false;
    }
    while (manifest.fileBaseUrl.ends_with("/"))
        manifest.fileBaseUrl.pop_back();
    const auto patches = doc.FindMember("patches");
    if (patches == doc.MemberEnd() || !patches->value.IsArray()) {
        problem = "patches: missing or not an array";
        return false;
    }
    for (rapidjson::SizeType i = 0; i < patches->value.Size(); ++i) {
        ManifestPatch patch;
        if (!parsePatch(patches->value[i], patch, problem)) {
            problem = "patches[" + std::to_string(i) + "]: " + problem;
            return false;
        }
        manifest.patches.push_back(std::move(patch));
    }
    return checkChain(manifest, problem);
}

std::string manifestJson(const Manifest& m)
{
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(buffer);
    auto text = [&](const char* name, const std::string& value) {
        w.Key(name);
        w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
    };
    auto number = [&](const char* name, uint64_t value) {
        w.Key(name);
        w.Uint64(value);
    };
    w.StartObject();
    text("repository", m.repository);
    text("platform", m.platform);
    text("baseVersion", m.baseVersion);
    text("linkSecret", m.linkSecret);
    number("linkLifetime", m.linkLifetime);
    if (!m.fileBaseUrl.empty())
        text("fileBaseUrl", m.fileBaseUrl);
    w.Key("patches");
    w.StartArray();
    for (const ManifestPatch& p : m.patches) {
        w.StartObject();
        text("version", p.version);
        text("file", p.file);
        if (!p.url.empty())
            text("url", p.url);
        if (!p.extraText.empty())
            text("extraText", p.extraText);
        number("patchSize", p.patchSize);
        number("installFileSize", p.installFileSize);
        number("hashBlockSize", p.hashBlockSize);
        text("hashes", p.hashes);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

bool loadRepository(const std::string& directory, Manifest& manifest, std::string& error)
{
    namespace fs = std::filesystem;
    const std::string path = (fs::path(directory) / kManifestName).string();
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) {
        error = directory + ": not a directory";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string problem;
    if (!parseManifest(text.str(), manifest, problem)) {
        error = path + ": " + problem;
        return false;
    }
    for (const ManifestPatch& p : manifest.patches) {
        const std::string file = (fs::path(directory) / p.file).string();
        uint64_t size = 0;
        std::string hashes;
        if (!fs::is_regular_file(file, ec)) {
            error = file + ": patch file of version '" + p.version + "' is missing";
            return false;
        }
        if (!hashFileBlocks(file, p.hashBlockSize, size, hashes, error)) {
            error = path + ": " + error;
            return false;
        }
        if (size != p.patchSize) {
            error = file + ": size " + std::to_string(size) + " differs from patchSize " +
                    std::to_string(p.patchSize) + " in " + path;
            return false;
        }
        if (hashes != p.hashes) {
            error = file + ": block hashes differ from those in " + path;
            return false;
        }
    }
    return true;
}

bool saveManifest(const Manifest& manifest, const std::string& path, std::string& error)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        const std::string json = manifestJson(manifest);
        out.write(json.data(), static_cast<std::streamsize>(json.size()));
        if (!out.good()) {
            error = temporary + ": cannot write";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = path + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace zanth::tools
