// Commands on archive data files: "A" add data, "D" delete data, "E" expand
// data, "H" header write and "T" target information.
#include <algorithm>

#include "ByteOrder.h"
#include "InstallCodes.h"
#include "MendrelApplier.h"
#include "ProcessState.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr uint32_t kEmptyHeaderValues = 5;
constexpr uint32_t kEmptyHeaderBytes = kEmptyHeaderValues * 4;
constexpr uint32_t kWritePiece = 1u << 30;
constexpr uint32_t kHeaderRecordLength = 16 + kHeaderWritePayload;

uint64_t blockBytes(uint32_t blocks) { return uint64_t{blocks} * kArchiveBlock; }

}  // namespace

bool MendrelApplier::writeBytes(File& file, const uint8_t* data, uint64_t length, uint64_t offset) {
    while (length > 0) {
        const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(length, kWritePiece));
        uint32_t written = 0;
        if (!file.writeAt(data, piece, &written, offset) || written != piece) {
            pushError(kErrShortWrite);
            return false;
        }
        data += piece;
        offset += piece;
        length -= piece;
    }
    return true;
}

bool MendrelApplier::writeZeros(File& file, uint64_t length, uint64_t offset) {
    while (length > 0) {
        const uint64_t piece = std::min<uint64_t>(length, kZeroBufferSize);
        if (!writeBytes(file, zeroBuffer(), piece, offset)) return false;
        offset += piece;
        length -= piece;
    }
    return true;
}

// The header marking `blockCount` blocks as empty: 128, 0, 0, count - 1, 0,
// followed by zeros up to `length` bytes.
bool MendrelApplier::writeEmptyBlockHeader(File& file, uint32_t blockCount, uint64_t offset,
                                           uint32_t length) {
    uint8_t block[kArchiveBlock] = {};
    const uint32_t values[kEmptyHeaderValues] = {kArchiveBlock, 0, 0, blockCount - 1, 0};
    for (uint32_t i = 0; i < kEmptyHeaderValues; ++i) store32(block + 4 * i, values[i], bigEndian());
    return writeBytes(file, block, length, offset);
}

int MendrelApplier::addData(const CommandRecord& r) {
    const uint64_t length = blockBytes(r.blockCount);
    if (r.payloadLength < length) {
        pushError(kErrAddPayloadShort);
        return -1;
    }
    File* file = dataFile(r.mainId, r.subId, r.fileId);
    if (file == nullptr) {
        pushError(kErrDataFileOpen);
        return -1;
    }
    if (!file->isOpen()) {
        pushError(kErrAddNotOpen);
        return -1;
    }
    const uint64_t offset = blockBytes(r.blockOffset);
    if (!writeBytes(*file, r.payload, length, offset)) return -1;
    return writeZeros(*file, blockBytes(r.deleteBlockCount), offset + length) ? 0 : -1;
}

int MendrelApplier::deleteData(const CommandRecord& r, uint64_t* extraDone) {
    closeAddFileTarget();
    if (r.blockCount == 0) {
        pushError(kErrEmptyBlockCount);
        return -1;
    }
    File* file = dataFile(r.mainId, r.subId, r.fileId);
    if (file == nullptr) {
        pushError(kErrDataFileOpen);
        return -1;
    }
    if (!file->isOpen()) {
        pushError(kErrDeleteNotOpen);
        return -1;
    }
    const uint64_t offset = blockBytes(r.blockOffset);
    if (!writeEmptyBlockHeader(*file, r.blockCount, offset, kArchiveBlock)) return -1;
    if (!writeZeros(*file, blockBytes(r.blockCount - 1), offset + kArchiveBlock)) return -1;
    if (extraDone != nullptr) *extraDone += blockBytes(r.blockCount);
    return 0;
}

int MendrelApplier::expandData(const CommandRecord& r) {
    if (r.blockCount == 0) {
        pushError(kErrEmptyBlockCount);
        return -1;
    }
    File* file = dataFile(r.mainId, r.subId, r.fileId);
    if (file == nullptr) return -1;
    if (!file->isOpen()) {
        pushError(kErrExpandNotOpen);
        return -1;
    }
    const uint64_t offset = blockBytes(r.blockOffset);
    const uint64_t end = offset + blockBytes(r.blockCount);
    uint64_t size = 0;
    if (!file->size(&size)) size = 0;
    if (size < end) {
        if (!writeZeros(*file, end - size, size)) return -1;
        if (!file->size(&size) || size != end) {
            pushError(kErrExpandSize);
            return -1;
        }
    }
    uint64_t position = 0;
    if (!file->seek(static_cast<int64_t>(offset), 0, &position) || position != offset) {
        pushError(kErrSeek);
        return -1;
    }
    return writeEmptyBlockHeader(*file, r.blockCount, offset, kEmptyHeaderBytes) ? 0 : -1;
}

int MendrelApplier::headerWrite(const CommandRecord& r) {
    if (r.operation != 'D') return 0;
    if (r.innerSize != kHeaderRecordLength) {
        pushError(kErrHeaderLength);
        return -1;
    }
    const char kind = static_cast<char>(r.reserved6);
    if (kind != 'V' && kind != 'D') {
        pushError(kErrHeaderKind);
        return -1;
    }
    File* file = dataFile(r.mainId, r.subId, r.fileId);
    if (file == nullptr || !file->isOpen()) {
        pushError(kErrHeaderNotOpen);
        return -1;
    }
    const uint64_t offset = kind == 'V' ? 0 : kHeaderWritePayload;
    return writeBytes(*file, r.payload, kHeaderWritePayload, offset) ? 0 : -1;
}

int MendrelApplier::targetInfo(const CommandRecord& r) {
    if (platform_ == -1) platform_ = r.platform;
    if (r.folderLayout != 0) setFolderLayoutFlag();
    return 0;
}

}  // namespace tavo
