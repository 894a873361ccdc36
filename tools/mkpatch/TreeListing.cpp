#include "TreeListing.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace zanth::tools {

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kComparePiece = 1 << 20;

bool sameContent(const fs::path& a, const fs::path& b)
{
    std::ifstream left(a, std::ios::binary), right(b, std::ios::binary);
    std::vector<char> x(kComparePiece), y(kComparePiece);
    while (left && right) {
        left.read(x.data(), static_cast<std::streamsize>(x.size()));
        right.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (left.gcount() != right.gcount() ||
            !std::equal(x.begin(), x.begin() + left.gcount(), y.begin()))
            return false;
    }
    return left.eof() && right.eof();
}
}  // namespace

bool listTree(const std::string& root, TreeListing& listing, std::string& error)
{
    listing = TreeListing{};
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        error = root + ": not a directory";
        return false;
    }
    fs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        const std::string rel = fs::relative(entry.path(), root, ec).generic_string();
        const fs::file_status status = entry.symlink_status(ec);
        if (fs::is_symlink(status)) {
            error = entry.path().string() + ": links cannot be carried by a patch";
            return false;
        }
        if (fs::is_directory(status)) {
            listing.directories.insert(rel);
        } else if (fs::is_regular_file(status)) {
            listing.files[rel] = entry.file_size(ec);
        } else {
            error = entry.path().string() + ": not a regular file or folder";
            return false;
        }
    }
    if (ec) {
        error = root + ": " + ec.message();
        return false;
    }
    return true;
}

bool sameTrees(const std::string& left, const std::string& right, std::string& difference)
{
    TreeListing a, b;
    if (!listTree(left, a, difference) || !listTree(right, b, difference))
        return false;
    for (const auto& [path, size] : a.files) {
        const auto other = b.files.find(path);
        if (other == b.files.end()) {
            difference = path + ": only in " + left;
            return false;
        }
        if (other->second != size || !sameContent(fs::path(left) / path, fs::path(right) / path)) {
            difference = path + ": contents differ";
            return false;
        }
    }
    for (const auto& [path, size] : b.files)
        if (!a.files.count(path)) {
            difference = path + ": only in " + right;
            return false;
        }
    if (a.directories != b.directories) {
        difference = "the folders differ";
        for (const std::string& d : a.directories)
            if (!b.directories.count(d))
                difference = d + "/: only in " + left;
        for (const std::string& d : b.directories)
            if (!a.directories.count(d))
                difference = d + "/: only in " + right;
        return false;
    }
    return true;
}

}  // namespace zanth::tools
