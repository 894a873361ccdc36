// zanth-mkpatch: builds the Mendrel patch from build OLD to build NEW, writes
// its patch-list line beside it and optionally checks it with the installer
// and publishes it into a repository.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "Manifest.h"
#include "PatchBuilder.h"
#include "PatchLine.h"
#include "PatchVerifier.h"
#include "RandomText.h"

namespace {

namespace fs = std::filesystem;
using namespace zanth::tools;

constexpr const char* kUsage =
    "usage: zanth-mkpatch --old DIR --new DIR --out FILE [--version V] [--url URL]\n"
    "                     [--verify] [--publish REPODIR [--from V]]\n"
    "Builds the patch FILE that turns an installation equal to OLD into NEW and\n"
    "writes its patch-list line to FILE.line (also printed).\n"
    "  --version V   version reached by the patch (default: NEW's folder name)\n"
    "  --url URL     address of the patch in the patch list (default: the file name;\n"
    "                zanth-patch-server then puts its own address in front)\n"
    "  --verify      install the patch into a copy of OLD with the library and\n"
    "                compare the result with NEW; non-zero exit on any difference\n"
    "  --publish D   copy FILE into repository D and append it to D/manifest.json\n"
    "                (created when missing, with OLD's version as its base)\n"
    "  --from V      version of OLD (default: OLD's folder name)\n";

struct Options {
    std::map<std::string, std::string> values;
    bool verify = false;
};

bool parseOptions(int argc, char** argv, Options& options, bool& help)
{
    static const char* kValued[] = {"--old", "--new", "--out", "--version", "--url", "--publish", "--from"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if (arg == "--verify") {
            options.verify = true;
            continue;
        }
        bool known = false;
        for (const char* name : kValued)
            if (arg == name && i + 1 < argc) {
                options.values[arg] = argv[++i];
                known = true;
            }
        if (!known) {
            std::fprintf(stderr, "zanth-mkpatch: bad argument '%s'\n", arg.c_str());
            return false;
        }
    }
    return options.values.count("--old") && options.values.count("--new") && options.values.count("--out");
}

std::string value(const Options& o, const char* name, const std::string& fallback)
{
    const auto it = o.values.find(name);
    return it == o.values.end() ? fallback : it->second;
}

std::string folderName(const std::string& dir)
{
    return fs::path(dir).lexically_normal().filename().empty()
               ? fs::path(dir).lexically_normal().parent_path().filename().string()
               : fs::path(dir).lexically_normal().filename().string();
}

bool publish(const std::string& repo, const std::string& from, const std::string& patchFile,
             const PatchLine& line, bool urlGiven, std::string& error)
{
    const std::string manifestPath = (fs::path(repo) / kManifestName).string();
    Manifest manifest;
    std::error_code ec;
    if (fs::exists(manifestPath, ec)) {
        if (!loadRepository(repo, manifest, error))
            return false;
        const std::string last = manifest.patches.empty() ? manifest.baseVersion : manifest.patches.back().version;
        if (last != from) {
            error = manifestPath + ": the chain ends at '" + last + "', not at '" + from + "'";
            return false;
        }
    } else {
        fs::create_directories(repo, ec);
        manifest.baseVersion = from;
        manifest.linkSecret = randomHex(24);
    }
    ManifestPatch p;
    p.version = line.version;
    p.file = fs::path(patchFile).filename().string();
    p.url = urlGiven ? line.url : std::string();
    p.patchSize = line.patchSize;
    p.installFileSize = line.installFileSize;
    p.hashBlockSize = line.hashBlockSize;
    p.hashes = line.hashes;
    if (!isSafeFileName(p.file) || manifest.findFile(p.file) || manifest.versionIndex(p.version) >= 0) {
        error = manifestPath + ": file '" + p.file + "' or version '" + p.version + "' cannot be added";
        return false;
    }
    fs::copy_file(patchFile, fs::path(repo) / p.file, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error = (fs::path(repo) / p.file).string() + ": " + ec.message();
        return false;
    }
    manifest.patches.push_back(p);
    return saveManifest(manifest, manifestPath, error);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    bool help = false;
    if (!parseOptions(argc, argv, options, help) || help) {
        std::fputs(kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const std::string oldDir = options.values["--old"], newDir = options.values["--new"];
    const std::string out = options.values["--out"];
    PatchStats stats;
    std::string error;
    if (!buildPatch(oldDir, newDir, out, stats, error)) {
        std::fprintf(stderr, "zanth-mkpatch: %s\n", error.c_str());
        return 1;
    }
    PatchLine line;
    line.version = value(options, "--version", folderName(newDir));
    line.url = value(options, "--url", fs::path(out).filename().string());
    line.installFileSize = stats.changedFileBytes;
    line.patchSize = fs::file_size(out);
    line.hashBlockSize = hashBlockSizeFor(line.patchSize);
    uint64_t size = 0;
    if (!isPlainField(line.version) || !isPlainField(line.url) || line.version.empty()) {
        std::fprintf(stderr, "zanth-mkpatch: version and url must be non-empty single-line texts\n");
        return 2;
    }
    if (!hashFileBlocks(out, line.hashBlockSize, size, line.hashes, error)) {
        std::fprintf(stderr, "zanth-mkpatch: %s\n", error.c_str());
        return 1;
    }
    std::ofstream lineFile(out + ".line", std::ios::binary | std::ios::trunc);
    lineFile << line.text() << "\n";
    if (!lineFile.good()) {
        std::fprintf(stderr, "zanth-mkpatch: %s.line: cannot write\n", out.c_str());
        return 1;
    }
    std::printf("%s\n", line.text().c_str());
    std::fprintf(stderr,
                 "zanth-mkpatch: %s: %llu bytes for %llu changed files of %llu bytes "
                 "(%llu A, %llu F add, %llu F delete, %llu ADIR, %llu DELD)\n",
                 out.c_str(), static_cast<unsigned long long>(line.patchSize),
                 static_cast<unsigned long long>(stats.changedFiles),
                 static_cast<unsigned long long>(stats.changedFileBytes),
                 static_cast<unsigned long long>(stats.archiveCommands),
                 static_cast<unsigned long long>(stats.fileAddCommands),
                 static_cast<unsigned long long>(stats.deletedFiles),
                 static_cast<unsigned long long>(stats.addedDirectories),
                 static_cast<unsigned long long>(stats.removedDirectories));
    if (options.verify) {
        std::string report;
        const bool same = verifyPatch(oldDir, newDir, out, report);
        std::fprintf(stderr, "zanth-mkpatch: verify: %s\n", report.c_str());
        if (!same)
            return 3;
    }
    if (options.values.count("--publish") &&
        !publish(options.values["--publish"], value(options, "--from", folderName(oldDir)), out, line,
                 options.values.count("--url") > 0, error)) {
        std::fprintf(stderr, "zanth-mkpatch: publish: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
