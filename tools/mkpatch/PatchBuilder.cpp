#include "PatchBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "ArchiveFileName.h"
#include "MendrelWriter.h"
#include "TreeListing.h"

namespace zanth::tools {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kBlock = mendrel::kBlock;
constexpr uint64_t kReadPiece = 1 << 20;          // bytes read from a file at a time
constexpr uint64_t kMaxRunBlocks = 4096;          // data blocks per "A" command
constexpr uint64_t kWindow = 16 * 1024;           // compare unit of loose files
constexpr uint64_t kMaxFilePiece = 1 << 20;       // file data per "F" add command
constexpr uint16_t kReleaseLayout = 1;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads a file piece by piece; a missing file reads as empty.
class PieceReader {
public:
    explicit PieceReader(const std::string& path) : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "rb")) {}
    bool open() const { return file_ != nullptr; }
    bool read(uint64_t offset, uint64_t length, std::string& out)
    {
        out.assign(length, '\0');
        if (!file_) {
            out.clear();
            return true;
        }
        if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
            return false;
        out.resize(std::fread(out.data(), 1, length, file_.get()));
        return !std::ferror(file_.get());
    }

private:
    FilePtr file_;
};

class Builder {
public:
    Builder(std::string oldDir, std::string newDir, PatchStats& stats, std::string& error)
        : old_(std::move(oldDir)), new_(std::move(newDir)), stats_(stats), error_(error) {}

    bool run(const std::string& outPath);

private:
    bool drain()
    {
        if (!writer_.drainTo(out_.get())) {
            error_ = "cannot write the patch file";
            return false;
        }
        return true;
    }
    bool fail(const std::string& message)
    {
        error_ = message;
        return false;
    }
    bool archiveEligible(const std::string& path, uint64_t size, ArchiveFile& file) const;
    bool diffArchive(const std::string& path, const ArchiveFile& file, bool& changed);
    bool flushRun(const ArchiveFile& file, uint64_t start, const std::string& run);
    bool looseChanged(const std::string& path, uint64_t size, bool& changed);
    bool addFileRange(const std::string& path, uint64_t from, uint64_t to, uint64_t size);
    bool addWholeFile(const std::string& path, uint64_t size) { return addFileRange(path, 0, size, size); }
    bool addChangedWindows(const std::string& path, uint64_t size);

    std::string old_, new_;
    PatchStats& stats_;
    std::string& error_;
    TreeListing oldTree_, newTree_;
    mendrel::MendrelWriter writer_;
    FilePtr out_;
};

bool Builder::archiveEligible(const std::string& path, uint64_t size, ArchiveFile& file) const
{
    if (!parseArchiveFile(path, file) || size % kBlock != 0)
        return false;
    if (resolvedArchivePath(oldTree_.files, file.mainId, file.subId, file.fileId) != path)
        return false;  // "A" would land in another file, or the archive is new
    const auto old = oldTree_.files.find(path);
    if (old == oldTree_.files.end())
        return size > 0;  // an empty new file needs an "F" add to exist
    return old->second % kBlock == 0 && old->second <= size;  // shrinking needs a whole file
}

bool Builder::flushRun(const ArchiveFile& file, uint64_t start, const std::string& run)
{
    if (run.empty())
        return true;
    // Trailing zero blocks go out as the command's zero fill.
    uint64_t dataBlocks = run.size() / kBlock;
    while (dataBlocks > 1 &&
           run.find_first_not_of('\0', (dataBlocks - 1) * kBlock) >= dataBlocks * kBlock)
        --dataBlocks;
    const uint64_t zeroBlocks = run.size() / kBlock - dataBlocks;
    writer_.addData(file.mainId, file.subId, file.fileId, static_cast<uint32_t>(start),
                    std::string_view(run).substr(0, dataBlocks * kBlock),
                    static_cast<uint32_t>(zeroBlocks));
    ++stats_.archiveCommands;
    return drain();
}

bool Builder::diffArchive(const std::string& path, const ArchiveFile& file, bool& changed)
{
    const bool hadOld = oldTree_.files.count(path) > 0;
    PieceReader oldFile(hadOld ? (fs::path(old_) / path).string() : std::string());
    PieceReader newFile((fs::path(new_) / path).string());
    const uint64_t size = newTree_.files.at(path);
    if ((hadOld && !oldFile.open()) || !newFile.open())
        return fail(path + ": cannot be read");
    if (size / kBlock > UINT32_MAX)
        return fail(path + ": too large for block offsets");
    std::string a, b, run;
    uint64_t runStart = 0;
    changed = false;
    for (uint64_t at = 0; at < size; at += kReadPiece) {
        if (!oldFile.read(at, kReadPiece, a) || !newFile.read(at, kReadPiece, b))
            return fail(path + ": read error");
        for (uint64_t i = 0; i + kBlock <= b.size(); i += kBlock) {
            const uint64_t block = (at + i) / kBlock;
            const bool differs = i + kBlock > a.size() || a.compare(i, kBlock, b, i, kBlock) != 0;
            if (differs) {
                if (run.empty())
                    runStart = block;
                run.append(b, i, kBlock);
                changed = true;
            }
            if ((!differs || run.size() / kBlock == kMaxRunBlocks) && !run.empty()) {
                if (!flushRun(file, runStart, run))
                    return false;
                run.clear();
            }
        }
    }
    return flushRun(file, runStart, run);
}

bool Builder::looseChanged(const std::string& path, uint64_t size, bool& changed)
{
    const auto old = oldTree_.files.find(path);
    changed = old == oldTree_.files.end() || old->second != size;
    if (changed)
        return true;
    PieceReader a((fs::path(old_) / path).string()), b((fs::path(new_) / path).string());
    if (!a.open() || !b.open())
        return fail(path + ": cannot be read");
    std::string x, y;
    for (uint64_t at = 0; at < size && !changed; at += kReadPiece) {
        if (!a.read(at, kReadPiece, x) || !b.read(at, kReadPiece, y))
            return fail(path + ": read error");
        changed = x != y;
    }
    return true;
}

bool Builder::addFileRange(const std::string& path, uint64_t from, uint64_t to, uint64_t size)
{
    PieceReader in((fs::path(new_) / path).string());
    if (!in.open())
        return fail(path + ": cannot be read");
    std::string piece;
    uint64_t at = from;
    do {  // an empty file still needs its one add at offset 0
        const uint64_t length = std::min(kMaxFilePiece, to - at);
        if (!in.read(at, length, piece) || piece.size() != length)
            return fail(path + ": read error");
        writer_.fileAdd(path, at, mendrel::encodeFileBlocks(piece, false, true), size);
        ++stats_.fileAddCommands;
        if (!drain())
            return false;
        at += length;
    } while (at < to);
    return true;
}

bool Builder::addChangedWindows(const std::string& path, uint64_t size)
{
    const auto old = oldTree_.files.find(path);
    if (old == oldTree_.files.end() || old->second > size || old->second == 0)
        return addWholeFile(path, size);  // new or shrunk: the add at offset 0 truncates
    PieceReader a((fs::path(old_) / path).string()), b((fs::path(new_) / path).string());
    std::string x, y;
    uint64_t runStart = 0, runEnd = 0;
    for (uint64_t at = 0; at < size; at += kWindow) {
        if (!a.read(at, kWindow, x) || !b.read(at, kWindow, y))
            return fail(path + ": read error");
        if (x == y)
            continue;
        if (at == 0)
            return addWholeFile(path, size);  // a piece at offset 0 would truncate the file
        if (runEnd != at) {
            if (runEnd > runStart && !addFileRange(path, runStart, runEnd, size))
                return false;
            runStart = at;
        }
        runEnd = at + y.size();
    }
    return runEnd <= runStart || addFileRange(path, runStart, runEnd, size);
}

bool Builder::run(const std::string& outPath)
{
    if (!listTree(old_, oldTree_, error_) || !listTree(new_, newTree_, error_))
        return false;
    out_.reset(std::fopen(outPath.c_str(), "wb"));
    if (!out_)
        return fail(outPath + ": cannot be created");
    writer_.fileHeader(1).target(mendrel::kWin32, kReleaseLayout, 0);
    if (!drain())
        return false;

    // Data files are rewritten in place while every old data file 0 still
    // exists, because the installer finds an archive's files through it.
    std::vector<std::string> wholeFiles;
    for (const auto& [path, size] : newTree_.files) {
        ArchiveFile file;
        bool changed = false;
        if (archiveEligible(path, size, file)) {
            if (!diffArchive(path, file, changed))
                return false;
        } else {
            if (!looseChanged(path, size, changed))
                return false;
            if (changed)
                wholeFiles.push_back(path);
        }
        if (changed) {
            ++stats_.changedFiles;
            stats_.changedFileBytes += size;
        }
    }
    for (const auto& [path, size] : oldTree_.files)
        if (!newTree_.files.count(path)) {
            writer_.fileDelete(path);
            ++stats_.deletedFiles;
        }
    // Deepest first: reverse order puts every folder before its parent.
    for (auto it = oldTree_.directories.rbegin(); it != oldTree_.directories.rend(); ++it)
        if (!newTree_.directories.count(*it)) {
            writer_.deleteDirectory(*it);
            ++stats_.removedDirectories;
        }
    for (const std::string& dir : newTree_.directories)
        if (!oldTree_.directories.count(dir)) {
            writer_.addDirectory(dir);
            ++stats_.addedDirectories;
        }
    if (!drain())
        return false;
    for (const std::string& path : wholeFiles)
        if (!addChangedWindows(path, newTree_.files.at(path)))
            return false;
    writer_.end();
    if (!drain())
        return false;
    if (std::fclose(out_.release()) != 0)
        return fail(outPath + ": cannot be written");
    return true;
}

}  // namespace

bool buildPatch(const std::string& oldDir, const std::string& newDir, const std::string& outPath,
                PatchStats& stats, std::string& error)
{
    stats = PatchStats{};
    Builder builder(oldDir, newDir, stats, error);
    return builder.run(outPath);
}

}  // namespace zanth::tools
