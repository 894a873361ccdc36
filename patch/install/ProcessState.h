// State the installation shares across every applier of the process: the
// folder-layout flag, the add-file target, the zero buffer, the inflater and
// the claim that lets only one installation run at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <zlib.h>

#include "platform/File.h"

namespace tavo {

constexpr std::size_t kZeroBufferSize = 1048576;

// Clear at load; set by a "T" command or by the path-resolution fallback and
// never cleared again.
bool folderLayoutFlag();
void setFolderLayoutFlag();

// The last file written by an "F" add operation, kept open across pieces.
struct AddFileTarget {
    std::string path;
    std::unique_ptr<File> file;
};
AddFileTarget& addFileTarget();
void closeAddFileTarget();

const uint8_t* zeroBuffer();

// A raw (window bits -15) inflater, reset before each use; null when zlib
// could not set it up.
z_stream* sharedInflater();

// False while another installation of the process holds the claim.
bool claimInstallation();
void releaseInstallation();

// Pauses between retries of file opens and deletions, and the patch read
// cache of each reader; tools that run many installations against scratch
// folders (the fuzzer) make them small.
struct InstallTuning {
    unsigned fileAddOpenMs = 2000;
    unsigned deleteMs = 1000;
    uint32_t readCacheBytes = 0;  // 0: the file class's own choice (30 MiB, halving)
};
InstallTuning& installTuning();

}  // namespace tavo
