// Builds one Mendrel patch that turns an installation equal to OLD into NEW:
// block runs of archive data files become "A" commands, other new or changed
// files "F" add operations (only the changed windows when the file did not
// shrink and its start is unchanged), removed files "F" deletes, new folders
// "ADIR", removed ones "DELD". Files are streamed, never read whole.
#pragma once

#include <cstdint>
#include <string>

namespace zanth::tools {

struct PatchStats {
    uint64_t changedFiles = 0;       // added or changed files
    uint64_t changedFileBytes = 0;   // their sizes in NEW
    uint64_t deletedFiles = 0;
    uint64_t archiveCommands = 0;    // "A" commands
    uint64_t fileAddCommands = 0;    // "F" add pieces
    uint64_t addedDirectories = 0;
    uint64_t removedDirectories = 0;
};

bool buildPatch(const std::string& oldDir, const std::string& newDir, const std::string& outPath,
                PatchStats& stats, std::string& error);

}  // namespace zanth::tools
