// A synthetic game installation and its successive builds, deterministic
// from a seed: archives of 128-byte blocks in the release-folder layout
// (tvpack/zanth, tvpack/ex1, ...), their database files, loose files and a
// movie folder.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "SampleRandom.h"

namespace zanth::tools {

struct SampleTree {
    std::map<std::string, std::string> files;  // relative path -> content
    std::set<std::string> emptyDirectories;    // relative paths
};

struct SampleScale {
    uint64_t minBlocks;    // size range of a data file, in 128-byte blocks
    uint64_t maxBlocks;
    std::size_t movieBytes;
    std::size_t looseBytes;  // typical size of a loose file

    static SampleScale standard() { return {16, 96, 300 * 1024, 16 * 1024}; }
    static SampleScale small() { return {2, 12, 12 * 1024, 2 * 1024}; }
};

class SampleGame {
public:
    SampleGame(uint64_t seed, SampleScale scale) : seed_(seed), scale_(scale) {}

    SampleTree firstBuild() const;
    // Turns build number-1 into build number (number >= 2).
    void evolve(SampleTree& tree, unsigned number) const;

    static std::string dataFilePath(unsigned mainId, unsigned subId, unsigned fileId);
    static std::string databasePath(unsigned mainId, unsigned subId);

private:
    std::string dataBlocks(SampleRandom& random, uint64_t blocks) const;
    void rewriteBlocks(SampleTree& tree, SampleRandom& random) const;
    void growAndShrink(SampleTree& tree, SampleRandom& random, unsigned number) const;
    void changeLooseFiles(SampleTree& tree, SampleRandom& random, unsigned number) const;
    static void refreshDatabases(SampleTree& tree);

    uint64_t seed_;
    SampleScale scale_;
};

// Writes the tree below `directory` (created; an existing one is replaced).
bool writeSampleTree(const SampleTree& tree, const std::string& directory, std::string& error);

}  // namespace zanth::tools
