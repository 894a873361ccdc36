#include "PatchVerifier.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "TreeListing.h"
#include "tavoPatch.h"

namespace zanth::tools {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxCodes = 32;
constexpr auto kPoll = std::chrono::milliseconds(5);

// A scratch folder below the system's temporary folder, removed afterwards.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (fs::temp_directory_path() / "zanth-verify-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        if (!path_.empty())
            fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class Session {
public:
    Session() : handle_(tavoPatchInitialize("game", "")) {}
    ~Session()
    {
        if (handle_ >= 0)
            tavoPatchFinalize(handle_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    int handle() const { return handle_; }

private:
    int handle_;
};

std::string errorCodes()
{
    int codes[kMaxCodes];
    const int count = tavoPatchGetErrorCodes(codes, kMaxCodes);
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += std::to_string(codes[i]);
    }
    return text.empty() ? "none" : text;
}

}  // namespace

bool installWithLibrary(const std::string& installDir, const std::string& patch, std::string& report)
{
    Session session;
    if (session.handle() < 0) {
        report = "tavoPatchInitialize failed";
        return false;
    }
    if (tavoPatchInstallStart(session.handle(), installDir.c_str(), patch.c_str()) != TAVOPATCH_OK) {
        report = "tavoPatchInstallStart failed, codes " + errorCodes();
        return false;
    }
    InstallProgress progress{};
    while (tavoPatchInstallIsBusy(session.handle(), &progress) == 1)
        std::this_thread::sleep_for(kPoll);
    if (tavoPatchInstallGetResponse(session.handle()) != TAVOPATCH_OK) {
        report = "installation failed, codes " + errorCodes();
        return false;
    }
    return true;
}

bool verifyPatch(const std::string& oldDir, const std::string& newDir, const std::string& patch,
                 std::string& report)
{
    ScratchDir scratch;
    if (scratch.path().empty()) {
        report = "cannot create a scratch folder";
        return false;
    }
    const fs::path install = fs::path(scratch.path()) / "install";
    const fs::path patchCopy = fs::path(scratch.path()) / "patch" / fs::path(patch).filename();
    std::error_code ec;
    fs::copy(oldDir, install, fs::copy_options::recursive, ec);
    if (!ec)
        fs::create_directories(patchCopy.parent_path(), ec);
    // A copy, because the installer deletes a patch it finds damaged.
    if (!ec)
        fs::copy_file(patch, patchCopy, ec);
    if (ec) {
        report = "cannot prepare the copy of the old build: " + ec.message();
        return false;
    }
    if (!installWithLibrary(install.string(), patchCopy.string(), report))
        return false;
    std::string difference;
    if (!sameTrees(install.string(), newDir, difference)) {
        report = "the patched copy differs from the new build: " + difference;
        return false;
    }
    report = "the patched copy equals the new build";
    return true;
}

}  // namespace zanth::tools
