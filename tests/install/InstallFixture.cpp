#include "InstallFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "install/MendrelApplier.h"
#include "install/PatchInstaller.h"
#include "platform/ErrorStack.h"

namespace installtest {

std::string patternBytes(std::size_t length, unsigned seed) {
    std::string out(length, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>((x >> 16) & 0xFF);
    }
    return out;
}

std::string zeros(std::size_t length) { return std::string(length, '\0'); }

InstallTree::InstallTree() : install_(dir_ / "game"), patches_(dir_ / "patches") {
    std::filesystem::create_directories(install_);
    std::filesystem::create_directories(patches_);
}

void InstallTree::put(const std::string& relative, const std::string& content) const {
    tavotest::writeFile(game(relative), content);
}

std::string InstallTree::read(const std::string& relative) const { return tavotest::readFile(game(relative)); }

bool InstallTree::exists(const std::string& relative) const { return tavotest::pathExists(game(relative)); }

std::string InstallTree::save(const mendrel::MendrelWriter& writer, const std::string& name) const {
    const std::string path = patch(name);
    EXPECT_TRUE(writer.save(path));
    return path;
}

static Outcome collect(bool ok, bool newestFirst) {
    Outcome out;
    out.ok = ok;
    tavo::copyErrors(out.codes);
    if (newestFirst) std::reverse(out.codes.begin(), out.codes.end());
    char message[tavo::kErrorMessageSize] = {};
    tavo::getErrorMessage(message, sizeof message);
    out.message = message;
    return out;
}

Outcome InstallTree::applyDirect(const std::string& patchPath) const {
    tavo::MendrelApplier applier(patchPath, install_);
    return collect(applier.apply(nullptr), true);
}

Outcome InstallTree::installThreaded(const std::string& patchPath) const {
    tavo::PatchInstaller installer;
    tavo::setErrorMessage("");
    if (!installer.start(patchPath, install_)) return collect(false, true);
    while (installer.isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return collect(installer.getResponse(), false);
}

mendrel::MendrelWriter startPatch() {
    mendrel::MendrelWriter w;
    w.fileHeader();
    return w;
}

mendrel::MendrelWriter startReleaseLayoutPatch(int16_t platform, uint64_t extraTotal) {
    mendrel::MendrelWriter w = startPatch();
    w.target(platform, 1, extraTotal);
    return w;
}

}  // namespace installtest
