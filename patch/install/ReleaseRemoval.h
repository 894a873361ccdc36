// The walk that removes one release (the base game or an expansion) below a
// directory, sparing version files and the other releases' folders.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

namespace tavo {

class ReleaseRemoval : public DirectoryVisitor {
public:
    ReleaseRemoval(const std::string& root, uint16_t expansionId, unsigned retryDelayMs);

    // Walks the whole root; false when some file could not be deleted.
    bool run();
    const std::string& lastFailure() const { return lastFailure_; }

    bool onFile(const std::string& path, uint32_t& count) override;
    bool onDirectory(const std::string& path, uint32_t& count) override;

private:
    std::string relativeOf(const std::string& path) const;
    bool inScope(const std::string& relativeDirectory) const;

    std::string root_;
    uint16_t expansionId_;
    std::string releaseName_;
    unsigned retryDelayMs_;
    uint32_t failures_ = 0;
    std::string lastFailure_;
};

}  // namespace tavo
