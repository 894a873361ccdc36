// The regular files (with sizes) and directories below an installation,
// as '/'-separated relative paths in sorted order.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace zanth::tools {

struct TreeListing {
    std::map<std::string, uint64_t> files;
    std::set<std::string> directories;
};

// Refuses links and special files: a patch can only express files and folders.
bool listTree(const std::string& root, TreeListing& listing, std::string& error);

// Byte-for-byte comparison of two trees (files, sizes, contents, folders);
// `difference` names the first mismatch.
bool sameTrees(const std::string& left, const std::string& right, std::string& difference);

}  // namespace zanth::tools
