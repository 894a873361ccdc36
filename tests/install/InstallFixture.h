// A scratch game installation next to a patch folder, and helpers that run
// an installation and read back its outcome.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MendrelWriter.h"
#include "support/TempDir.h"

namespace installtest {

// Bytes of a pattern that differs per offset, so misplaced writes show.
std::string patternBytes(std::size_t length, unsigned seed);
std::string zeros(std::size_t length);

struct Outcome {
    bool ok = false;
    // In the order the installation pushed them, which is how
    // tavoPatchGetErrorCodes lists them after tavoPatchInstallGetResponse.
    std::vector<int> codes;
    std::string message;
};

class InstallTree {
public:
    InstallTree();

    const std::string& installDir() const { return install_; }
    const std::string& patchDir() const { return patches_; }
    std::string game(const std::string& relative) const { return install_ + "/" + relative; }
    std::string patch(const std::string& name) const { return patches_ + "/" + name; }

    void put(const std::string& relative, const std::string& content) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;

    // Saves the writer's bytes as patches/<name> and returns the path.
    std::string save(const mendrel::MendrelWriter& writer, const std::string& name = "p.mendrel") const;

    // Single-threaded: a MendrelApplier on this thread.
    Outcome applyDirect(const std::string& patchPath) const;
    // Through the "PatchInstaller" worker, polled to its end.
    Outcome installThreaded(const std::string& patchPath) const;

private:
    tavotest::TempDir dir_;
    std::string install_;
    std::string patches_;
};

// A writer already holding a valid "FHDR".
mendrel::MendrelWriter startPatch();

// "FHDR" plus a "T" command selecting the release-folder layout.
mendrel::MendrelWriter startReleaseLayoutPatch(int16_t platform = mendrel::kWin32,
                                               uint64_t extraTotal = 0);

}  // namespace installtest
