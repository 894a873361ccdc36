#include "BlockVerifier.h"

#include <algorithm>

#include "DownloadCodes.h"
#include "platform/ErrorStack.h"

namespace tavo {

void BlockVerifier::reset(uint64_t position) {
    sha_.reset();
    position_ = position;
    inBlock_ = 0;
}

void BlockVerifier::feed(const void* data, std::size_t length) {
    sha_.update(data, length);
    position_ += length;
    inBlock_ += length;
}

bool BlockVerifier::check(const PatchInfoRecord& record, const uint8_t* data, std::size_t length,
                          BlockRun& run) {
    run = BlockRun{};
    if (record.hashBlockSize == 0) {
        pushError(kErrZeroHashBlockSize);
        return false;
    }
    std::size_t done = 0;
    while (done < length) {
        const uint64_t room = record.hashBlockSize - inBlock_;
        const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(room, length - done));
        feed(data + done, take);
        done += take;
        if (inBlock_ < record.hashBlockSize && position_ < record.patchSize) continue;
        const uint64_t index = record.verifiedBlocks + run.passedBlocks;
        if (index >= record.hashCount || index >= kMaxBlockHashes) {
            pushError(kErrBlockWithoutHash);
            return false;
        }
        const Sha1::Digest digest = sha_.finish();
        inBlock_ = 0;
        if (!std::equal(digest.begin(), digest.end(), record.hashes[index].begin())) {
            pushError(kErrBlockMismatch);
            return false;
        }
        ++run.passedBlocks;
        run.passedBytes = done;
    }
    return true;
}

}  // namespace tavo
