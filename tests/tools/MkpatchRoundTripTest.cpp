// Property: for random OLD/NEW installation pairs, the patch zanth-mkpatch
// builds, installed by the library into a copy of OLD, reproduces NEW.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "PatchBuilder.h"
#include "PatchVerifier.h"
#include "SampleGame.h"
#include "support/TempDir.h"

namespace {

using namespace zanth::tools;

constexpr unsigned kPairs = 50;

// Edits the sample builds alone do not make: shrunk data files, removed
// files and folders, emptied files.
void mutate(SampleTree& tree, std::mt19937& random)
{
    std::vector<std::string> paths;
    for (const auto& [path, content] : tree.files)
        paths.push_back(path);
    const unsigned edits = random() % 4;
    for (unsigned i = 0; i < edits && !paths.empty(); ++i) {
        const std::string& path = paths[random() % paths.size()];
        auto it = tree.files.find(path);
        if (it == tree.files.end())
            continue;
        switch (random() % 3) {
        case 0:
            it->second.resize(it->second.size() / 2 / 128 * 128);
            break;
        case 1:
            tree.files.erase(it);
            break;
        default:
            it->second.clear();
            break;
        }
    }
    if (random() % 3 == 0)
        tree.emptyDirectories.insert("extra/empty" + std::to_string(random() % 5));
}

TEST(MkpatchRoundTrip, RandomPairsInstallToTheNewBuild)
{
    for (unsigned seed = 1; seed <= kPairs; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const SampleGame game(seed, SampleScale::small());
        SampleTree oldTree = game.firstBuild();
        const unsigned oldSteps = random() % 2, newSteps = 1 + random() % 3;
        for (unsigned n = 0; n < oldSteps; ++n)
            game.evolve(oldTree, 2 + n);
        SampleTree newTree = oldTree;
        for (unsigned n = 0; n < newSteps; ++n)
            game.evolve(newTree, 2 + oldSteps + n);
        mutate(newTree, random);

        tavotest::TempDir dir;
        std::string error, report;
        ASSERT_TRUE(writeSampleTree(oldTree, dir / "old", error)) << error;
        ASSERT_TRUE(writeSampleTree(newTree, dir / "new", error)) << error;
        PatchStats stats;
        ASSERT_TRUE(buildPatch(dir / "old", dir / "new", dir / "p.patch", stats, error)) << error;
        ASSERT_TRUE(verifyPatch(dir / "old", dir / "new", dir / "p.patch", report)) << report;
    }
}

}  // namespace
