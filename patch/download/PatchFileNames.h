// Where a patch file and its ".info" file go, derived from the file's address:
// "<download directory>/zanthpatch/<segment>/patch/<name>".
#pragma once

#include <string>

namespace tavo {

struct PatchFileNames {
    std::string directory;  // the patch directory
    std::string patchPath;
    std::string infoPath;
};

// The name is the text after the address's last '/', the segment the text
// before it back to the previous '/' (the query is dropped first). A name or
// segment that is empty, "." or "..", or holds '/' or '\' (also once
// percent-escapes are decoded) would leave the download directory: 21010.
bool derivePatchFileNames(const std::string& address, const std::string& downloadDirectory,
                          PatchFileNames& out);

}  // namespace tavo
