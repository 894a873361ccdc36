#include "SampleGame.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zanth::tools {

namespace {

constexpr std::size_t kBlock = 128;
constexpr const char* kDataInfix = ".win32.dat";

struct ArchiveName {
    unsigned mainId;
    unsigned subId;
    unsigned fileId;
};

std::string hexId(unsigned mainId, unsigned subId)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02x%04x", mainId & 0xFF, subId & 0xFFFF);
    return text;
}

std::string releaseFolder(unsigned subId)
{
    return subId == 0 ? std::string("zanth") : "ex" + std::to_string(subId >> 8);
}

// Parses the data file names this generator writes.
bool parseDataFile(const std::string& path, ArchiveName& name)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t infix = path.find(kDataInfix, slash == std::string::npos ? 0 : slash);
    if (slash == std::string::npos || infix != slash + 7 || path.compare(0, 7, "tvpack/") != 0)
        return false;
    const std::string digits = path.substr(slash + 1, 6);
    const std::string number = path.substr(infix + std::char_traits<char>::length(kDataInfix));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    name.mainId = static_cast<unsigned>(std::stoul(digits.substr(0, 2), nullptr, 16));
    name.subId = static_cast<unsigned>(std::stoul(digits.substr(2), nullptr, 16));
    name.fileId = static_cast<unsigned>(std::stoul(number));
    return true;
}

std::vector<std::string> dataFiles(const SampleTree& tree)
{
    std::vector<std::string> out;
    ArchiveName name{};
    for (const auto& [path, content] : tree.files)
        if (parseDataFile(path, name))
            out.push_back(path);
    return out;
}

bool isLooseFile(const std::string& path)
{
    return path.compare(0, 7, "tvpack/") != 0;
}

std::vector<std::string> looseFiles(const SampleTree& tree)
{
    std::vector<std::string> out;
    for (const auto& [path, content] : tree.files)
        if (isLooseFile(path))
            out.push_back(path);
    return out;
}

template <class T>
const T& pick(SampleRandom& random, const std::vector<T>& items)
{
    return items[random.range(0, items.size() - 1)];
}

// FNV-1a, enough to make a database file depend on its archive's contents.
uint64_t fingerprint(const std::string& data)
{
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : data)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

}  // namespace

std::string SampleGame::dataFilePath(unsigned mainId, unsigned subId, unsigned fileId)
{
    return "tvpack/" + releaseFolder(subId) + "/" + hexId(mainId, subId) + kDataInfix +
           std::to_string(fileId);
}

std::string SampleGame::databasePath(unsigned mainId, unsigned subId)
{
    return "tvpack/" + releaseFolder(subId) + "/_" + hexId(mainId, subId) + ".win32.tvdb";
}

std::string SampleGame::dataBlocks(SampleRandom& random, uint64_t blocks) const
{
    std::string out;
    out.reserve(blocks * kBlock);
    for (uint64_t i = 0; i < blocks; ++i) {
        const uint64_t kind = random.range(0, 9);
        if (kind < 6)
            out += random.words(kBlock);
        else if (kind < 9)
            out += random.randomBytes(kBlock);
        else
            out += std::string(kBlock, '\0');
    }
    return out;
}

SampleTree SampleGame::firstBuild() const
{
    SampleRandom random(seed_ * 7919 + 1);
    SampleTree tree;
    const ArchiveName archives[] = {
        {0x0a, 0, 0}, {0x0a, 0, 1}, {0x0b, 0, 0}, {0x0a, 0x0100, 0}, {0x10, 0x0100, 0}};
    for (const ArchiveName& a : archives)
        tree.files[dataFilePath(a.mainId, a.subId, a.fileId)] =
            dataBlocks(random, random.range(scale_.minBlocks, scale_.maxBlocks));

    tree.files["movie/opening.bik"] = random.randomBytes(scale_.movieBytes);
    tree.files["movie/ex1/trailer.bik"] = random.randomBytes(scale_.movieBytes / 3);
    tree.files["zanthgame.bin"] = random.randomBytes(scale_.looseBytes * 4);
    tree.files["readme.txt"] = random.words(scale_.looseBytes / 16);
    tree.files["data/config/default.ini"] = random.words(scale_.looseBytes / 8);
    tree.files["data/ui/layout.xml"] = random.words(scale_.looseBytes);
    tree.files["data/ui/font.dat"] = random.randomBytes(scale_.looseBytes / 3);
    tree.files["data/script/main.lua"] = random.words(scale_.looseBytes * 2);
    tree.emptyDirectories.insert("screenshots");
    refreshDatabases(tree);
    return tree;
}

void SampleGame::rewriteBlocks(SampleTree& tree, SampleRandom& random) const
{
    for (const std::string& path : dataFiles(tree)) {
        if (!random.chance(50))
            continue;
        std::string& data = tree.files[path];
        const uint64_t blocks = data.size() / kBlock;
        for (uint64_t run = random.range(1, 3); run > 0 && blocks > 0; --run) {
            const uint64_t start = random.range(0, blocks - 1);
            const uint64_t count = std::min<uint64_t>(random.range(1, 8), blocks - start);
            data.replace(start * kBlock, count * kBlock, dataBlocks(random, count));
        }
    }
}

void SampleGame::growAndShrink(SampleTree& tree, SampleRandom& random, unsigned number) const
{
    std::vector<std::string> files = dataFiles(tree);
    tree.files[pick(random, files)] += dataBlocks(random, random.range(1, 24));

    ArchiveName name{};
    if (random.chance(60)) {  // a new data file of an existing archive
        parseDataFile(pick(random, files), name);
        unsigned next = 0;
        while (tree.files.count(dataFilePath(name.mainId, name.subId, next)))
            ++next;
        tree.files[dataFilePath(name.mainId, name.subId, next)] =
            dataBlocks(random, random.range(scale_.minBlocks / 2 + 1, scale_.maxBlocks / 2 + 1));
    }
    std::vector<std::string> later;
    for (const std::string& path : files)
        if (parseDataFile(path, name) && name.fileId > 0)
            later.push_back(path);
    if (!later.empty() && random.chance(40)) {  // shrunk
        std::string& data = tree.files[pick(random, later)];
        const uint64_t blocks = data.size() / kBlock;
        if (blocks >= 2)
            data.resize((blocks - random.range(1, blocks / 2)) * kBlock);
    }
    if (!later.empty() && random.chance(25))  // removed
        tree.files.erase(pick(random, later));
    if (number % 2 == 0) {  // a new archive
        unsigned mainId = 0x20;
        const unsigned subId = random.chance(50) ? 0 : 0x0100;
        while (tree.files.count(dataFilePath(mainId, subId, 0)))
            ++mainId;
        tree.files[dataFilePath(mainId, subId, 0)] =
            dataBlocks(random, random.range(scale_.minBlocks, scale_.maxBlocks));
    }
}

void SampleGame::changeLooseFiles(SampleTree& tree, SampleRandom& random, unsigned number) const
{
    std::vector<std::string> loose = looseFiles(tree);
    for (int i = 0; i < 2; ++i) {  // edited in place or extended
        std::string& data = tree.files[pick(random, loose)];
        const std::size_t at = data.empty() ? 0 : random.range(0, data.size() - 1);
        const std::size_t length = random.range(1, scale_.looseBytes / 4);
        if (random.chance(50))
            data.replace(at, std::min(length, data.size() - at), random.words(length));
        else
            data += random.randomBytes(length);
    }
    const std::string folder = "data/patch" + std::to_string(number) + "/";
    tree.files[folder + "notes.txt"] = random.words(random.range(1, scale_.looseBytes));
    tree.files[folder + "sub/table.bin"] = random.randomBytes(random.range(1, scale_.looseBytes));
    tree.files["data/ui/added" + std::to_string(number) + ".xml"] = random.words(scale_.looseBytes / 2);

    loose = looseFiles(tree);
    std::erase(loose, std::string("zanthgame.bin"));
    tree.files.erase(pick(random, loose));
    // Every third build drops the folder the previous build brought.
    const std::string previous = "data/patch" + std::to_string(number - 1) + "/";
    if (number % 3 == 0)
        std::erase_if(tree.files, [&](const auto& item) { return item.first.starts_with(previous); });
    // The movie may have been removed by an earlier build, or be smaller than the window.
    const auto movie = tree.files.find("movie/opening.bik");
    if (random.chance(30) && movie != tree.files.end() && movie->second.size() >= 4096) {
        const std::size_t at = random.range(0, movie->second.size() - 4096);
        movie->second.replace(at, 4096, random.randomBytes(4096));
    }
    if (number == 3)
        tree.emptyDirectories.insert("replay");
    if (number == 4)
        tree.emptyDirectories.erase("screenshots");
}

void SampleGame::refreshDatabases(SampleTree& tree)
{
    std::map<std::string, std::string> databases;
    ArchiveName name{};
    for (const std::string& path : dataFiles(tree)) {
        parseDataFile(path, name);
        const std::string& data = tree.files[path];
        char line[128];
        std::snprintf(line, sizeof line, "%u %zu %016llx\n", name.fileId, data.size() / kBlock,
                      static_cast<unsigned long long>(fingerprint(data)));
        databases[databasePath(name.mainId, name.subId)] += line;
    }
    std::erase_if(tree.files, [](const auto& item) { return item.first.ends_with(".tvdb"); });
    for (auto& [path, content] : databases)
        tree.files[path] = "TVDB1\n" + content;
}

void SampleGame::evolve(SampleTree& tree, unsigned number) const
{
    SampleRandom random(seed_ * 7919 + number);
    rewriteBlocks(tree, random);
    growAndShrink(tree, random, number);
    changeLooseFiles(tree, random, number);
    refreshDatabases(tree);
}

bool writeSampleTree(const SampleTree& tree, const std::string& directory, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::remove_all(directory, ec);
    fs::create_directories(directory, ec);
    if (ec) {
        error = directory + ": " + ec.message();
        return false;
    }
    for (const std::string& folder : tree.emptyDirectories)
        fs::create_directories(fs::path(directory) / folder, ec);
    for (const auto& [path, content] : tree.files) {
        const fs::path target = fs::path(directory) / path;
        fs::create_directories(target.parent_path(), ec);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out.good()) {
            error = target.string() + ": cannot write";
            return false;
        }
    }
    return true;
}

}  // namespace zanth::tools
