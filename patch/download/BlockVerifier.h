// SHA-1 of the hash blocks as their bytes go by, compared with the expected
// digests of the verification table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PatchInfoRecord.h"
#include "platform/Sha1.h"

namespace tavo {

// What one checked run of bytes came to.
struct BlockRun {
    uint64_t passedBlocks = 0;  // blocks completed in the run that matched
    std::size_t passedBytes = 0;  // run bytes up to the end of the last of them
};

class BlockVerifier {
public:
    // Starts at `position` with no bytes of the current block hashed.
    void reset(uint64_t position);
    // Bytes of the current block already on disk (resume): hashed, not checked.
    void feed(const void* data, std::size_t length);
    // Hashes the run; every block it completes (or that ends at patchSize) is
    // compared with hashes[verifiedBlocks + passed]. False at the first
    // mismatch (20495) or a block beyond the hashes (21011).
    bool check(const PatchInfoRecord& record, const uint8_t* data, std::size_t length, BlockRun& run);
    uint64_t position() const { return position_; }

private:
    Sha1 sha_;
    uint64_t position_ = 0;
    uint64_t inBlock_ = 0;
};

}  // namespace tavo
