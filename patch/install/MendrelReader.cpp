#include "MendrelReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "ByteOrder.h"
#include "CommandTable.h"
#include "ErrorSnapshot.h"
#include "InstallCodes.h"
#include "ProcessState.h"
#include "platform/ErrorStack.h"
#include "platform/FileSystem.h"
#include "platform/WorkerThread.h"

namespace tavo {

namespace {

constexpr uint32_t kNamePiece = 2048;
constexpr uint32_t kEndPiece = 10;
constexpr uint32_t kSkipPiece = 65536;
constexpr int kDiscardRetries = 10;
constexpr int kPreScanChunks = 2;
constexpr uint32_t kExtraTotalOffset = 16;
const char* const kInfoSuffix = ".info";

}  // namespace

MendrelReader::MendrelReader() {
    const uint32_t cache = installTuning().readCacheBytes;
    file_ = cache == 0 ? std::make_unique<BufferedFile>() : std::make_unique<BufferedFile>(cache);
}

bool MendrelReader::openPatch() {
    if (!file_->open(patchPath_.c_str(), "rb", 0)) {
        pushError(kErrPatchOpen);
        return false;
    }
    if (!file_->size(&fileSize_)) fileSize_ = 0;
    file_->setEndOfData(fileSize_);
    file_->resetCrc();
    return true;
}

void MendrelReader::rewind() {
    position_ = 0;
    bytesRead_ = 0;
    file_->setBytesRead(0);
}

bool MendrelReader::reportProgress() {
    return handlers.onProgress(extraDone_ + bytesRead_, extraTotal_ + fileSize_) == 0;
}

// Never asks the file for bytes past its end, so a short read is detected
// here whatever the cache would deliver.
MendrelReader::Read MendrelReader::readRaw(void* buffer, uint32_t count, uint32_t& got) {
    got = 0;
    const uint64_t left = position_ < fileSize_ ? fileSize_ - position_ : 0;
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(count, left));
    if (want > 0) {
        if (!file_->readAt(buffer, want, &got, position_)) return Read::Failed;
        got = std::min(got, want);
    }
    position_ += got;
    bytesRead_ += got;
    if (!reportProgress()) {
        pushError(kErrProgressStop);
        return Read::Failed;
    }
    return got == count ? Read::Ok : Read::Short;
}

bool MendrelReader::readExact(void* buffer, uint32_t count) {
    uint32_t got = 0;
    switch (readRaw(buffer, count, got)) {
    case Read::Ok: return true;
    case Read::Short:
        pushError(kErrShortRead);
        discardPatch();
        return false;
    case Read::Failed: break;
    }
    return false;
}

bool MendrelReader::skipExact(uint64_t count) {
    uint8_t piece[kSkipPiece];
    while (count > 0) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, sizeof piece));
        if (!readExact(piece, n)) return false;
        count -= n;
    }
    return true;
}

void MendrelReader::failShortOfData(int code) {
    pushError(kErrShortRead);
    discardPatch();
    pushError(code);
}

void MendrelReader::discardPatch() {
    if (discarded_) return;
    discarded_ = true;
    file_->close();
    ErrorSnapshot saved;
    saved.take();
    const bool deleted = !fileExists(patchPath_) ||
                         deleteFile(patchPath_, true, kDiscardRetries, installTuning().deleteMs);
    const std::string info = patchPath_ + kInfoSuffix;
    if (fileExists(info)) deleteFile(info, false, 0, 0);
    saved.restore();
    if (!deleted) pushError(kErrDiscardFailed);
}

bool MendrelReader::readChunkHeader(uint32_t& size, ChunkTag& tag) {
    uint8_t sizeBytes[4];
    uint32_t got = 0;
    const Read sizeRead = readRaw(sizeBytes, sizeof sizeBytes, got);
    if (sizeRead == Read::Failed) {
        pushError(kErrSizeRead);
        discardPatch();
        return false;
    }
    if (sizeRead == Read::Short) {
        if (got == 0) {
            resetError(kErrEndOfFile);
            return false;
        }
        resetError(kErrShortRead);
        pushError(kErrSizeShort);
        discardPatch();
        return false;
    }
    size = loadBe32(sizeBytes);
    file_->resetCrc();
    const Read tagRead = readRaw(tag.data(), static_cast<uint32_t>(tag.size()), got);
    if (tagRead == Read::Short) resetError(kErrShortRead);
    if (tagRead != Read::Ok) {
        pushError(kErrTagRead);
        return false;
    }
    return true;
}

bool MendrelReader::verifyChecksum() {
    const uint32_t computed = file_->crc();
    uint8_t stored[4];
    uint32_t got = 0;
    const Read r = readRaw(stored, sizeof stored, got);
    if (r == Read::Short) {
        resetError(kErrShortRead);
        discardPatch();
    }
    if (r != Read::Ok) {
        pushError(kErrChecksumRead);
        return false;
    }
    if (loadBe32(stored) != computed) {
        resetError(kErrChecksumMismatch);
        discardPatch();
        return false;
    }
    return true;
}

MendrelReader::Peek MendrelReader::peekChunkHeader(ChunkTag& tag) {
    const uint64_t left = position_ < fileSize_ ? fileSize_ - position_ : 0;
    if (left == 0) {
        resetError(kErrEndOfFile);
        return Peek::End;
    }
    uint8_t bytes[8];
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(sizeof bytes, left));
    uint32_t got = 0;
    if (!file_->readAtUncached(bytes, want, &got, position_)) return Peek::Failed;
    if (got == 0) {
        resetError(kErrEndOfFile);
        return Peek::End;
    }
    if (got < sizeof bytes) {
        resetError(kErrShortRead);
        return Peek::Failed;
    }
    std::memcpy(tag.data(), bytes + 4, tag.size());
    return Peek::Ok;
}

bool MendrelReader::readName(std::string& name, uint32_t& consumed) {
    uint8_t lengthBytes[4];
    if (!readExact(lengthBytes, sizeof lengthBytes)) return false;
    const uint32_t n = loadBe32(lengthBytes);
    if (n > kNameLengthMax) {
        pushError(kErrNameLength);
        return false;
    }
    name.assign(n, '\0');
    for (uint32_t done = 0; done < n;) {
        const uint32_t piece = std::min(n - done, kNamePiece);
        if (!readExact(name.data() + done, piece)) return false;
        done += piece;
    }
    consumed = n + 4;
    return true;
}

bool MendrelReader::readSignature() {
    uint8_t bytes[sizeof kMendrelSignature];
    uint32_t got = 0;
    const Read r = readRaw(bytes, sizeof bytes, got);
    if (r == Read::Failed) {
        pushError(kErrSignatureRead);
        return false;
    }
    if (r == Read::Short) {
        resetError(kErrSignatureRead);
        return false;
    }
    if (std::memcmp(bytes, kMendrelSignature, sizeof bytes) != 0) {
        pushError(kErrSignatureMismatch);
        discardPatch();
        return false;
    }
    return true;
}

bool MendrelReader::readFileHeader() {
    uint32_t size = 0;
    ChunkTag tag{};
    if (!readChunkHeader(size, tag)) {
        pushError(kErrChunkHeader);
        return false;
    }
    if (!tagIs(tag, kTagFileHeader)) {
        resetError(kErrUnexpectedTag);
        return false;
    }
    if (size > kFileHeaderMax) {
        resetError(kErrFileHeaderSize);
        return false;
    }
    uint8_t body[kFileHeaderMax] = {};
    if (!readExact(body, size)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        return false;
    }
    std::memcpy(header_.raw, body, sizeof header_.raw);
    for (std::size_t i = 0; i < std::size(header_.values); ++i) {
        header_.values[i] = loadBe32(body + sizeof header_.raw + 4 * i);
    }
    if (header_.version() < 1 || header_.version() > 3) {
        resetError(kErrVersion);
        return false;
    }
    clearErrors();
    if (handlers.onFileHeader(header_) == -1) {
        if (!hasErrors()) pushError(kErrOnFileHeader);
        return false;
    }
    return true;
}

bool MendrelReader::readApfs() {
    ChunkTag tag{};
    const Peek peek = peekChunkHeader(tag);
    if (peek == Peek::End) {
        clearErrors();
        return true;
    }
    if (peek == Peek::Failed) {
        pushError(kErrPeek);
        return false;
    }
    if (!tagIs(tag, kTagApfs)) return true;
    uint32_t size = 0;
    if (!readChunkHeader(size, tag)) {
        pushError(kErrChunkHeader);
        return false;
    }
    uint8_t values[16];
    uint8_t trailer[4];
    if (!readExact(values, sizeof values) || !readExact(trailer, sizeof trailer)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        return false;
    }
    clearErrors();
    if (handlers.onApfs(loadBe64(values), loadBe64(values + 8)) == -1) {
        if (!hasErrors()) pushError(kErrOnApfs);
        return false;
    }
    return true;
}

// One "APLY" chunk of the group; an option other than 1 or 2 is skipped whole.
bool MendrelReader::readApplyOption(uint32_t size) {
    if (size != kApplyBodySize) {
        pushError(kErrApplySize);
        return false;
    }
    uint8_t body[kApplyBodySize];
    if (!readExact(body, 8)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (!readExact(body + 8, 4)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        return false;
    }
    clearErrors();
    const uint32_t optionId = loadBe32(body);
    const bool value = loadBe32(body + 8) != 0;
    if (optionId == 1 && handlers.onApplyOption1(value) == -1) {
        if (!hasErrors()) pushError(kErrOnApplyOption1);
        return false;
    }
    if (optionId == 2 && handlers.onApplyOption2(value) == -1) {
        if (!hasErrors()) pushError(kErrOnApplyOption2);
        return false;
    }
    return true;
}

bool MendrelReader::readApplyGroup() {
    for (;;) {
        ChunkTag tag{};
        const Peek peek = peekChunkHeader(tag);
        if (peek == Peek::End) break;
        if (peek == Peek::Failed) {
            pushError(kErrPeek);
            return false;
        }
        if (!tagIs(tag, kTagApply)) break;
        uint32_t size = 0;
        if (!readChunkHeader(size, tag)) {
            pushError(kErrChunkHeader);
            return false;
        }
        if (!readApplyOption(size)) return false;
    }
    clearErrors();
    if (handlers.onApplyEnd() == -1) {
        if (!hasErrors()) pushError(kErrOnApplyEnd);
        return false;
    }
    return true;
}

bool MendrelReader::readPreamble() {
    if (!readSignature()) return false;
    if (!readFileHeader()) {
        if (!hasErrors()) pushError(kErrFileHeaderStage);
        return false;
    }
    if (!readApfs()) {
        if (!hasErrors()) pushError(kErrApfsStage);
        return false;
    }
    if (!readApplyGroup()) {
        if (!hasErrors()) pushError(kErrApplyStage);
        return false;
    }
    return true;
}

// One of the chunks after the "APLY" group; stop is set once nothing more is
// to be learnt. Only the start of a body is kept, so no size is allocated.
bool MendrelReader::preScanChunk(bool& stop) {
    uint32_t size = 0;
    ChunkTag tag{};
    if (!readChunkHeader(size, tag)) {
        if (lastError() == kErrEndOfFile) {
            clearErrors();
        } else {
            pushError(kErrChunkHeader);
        }
        stop = true;
        return true;
    }
    if (!tagIs(tag, kTagCommand)) {
        position_ += uint64_t{size} + 4;
        return true;
    }
    uint8_t prefix[kExtraTotalOffset + 8] = {};
    const uint32_t kept = std::min<uint32_t>(size, sizeof prefix);
    if (!readExact(prefix, kept) || !skipExact(size - kept)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (kept > 4 && prefix[4] == 'T') {
        extraTotal_ = kept == sizeof prefix ? loadBe64(prefix + kExtraTotalOffset) : 0;
        stop = true;
        return true;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        return false;
    }
    return true;
}

bool MendrelReader::preScan() {
    rewind();
    if (!openPatch()) return false;
    bool ok = readPreamble();
    bool stop = false;
    for (int i = 0; ok && !stop && i < kPreScanChunks; ++i) ok = preScanChunk(stop);
    rewind();
    file_->close();
    return ok;
}

bool MendrelReader::takeCancel() {
    if (cancelWord_ == nullptr) return false;
    int expected = 1;
    return cancelWord_->compare_exchange_strong(expected, 2);
}

int MendrelReader::dispatchCommand(const CommandRecord& r) {
    switch (r.command) {
    case 'A': return handlers.onAddData(r, &extraDone_);
    case 'D': return handlers.onDeleteData(r, &extraDone_);
    case 'E': return handlers.onExpandData(r);
    case 'F': return handlers.onFileOperation(r);
    case 'H': return handlers.onHeaderWrite(r);
    case 'I': return handlers.onCommandI(r);
    case 'T': return handlers.onTargetInfo(r);
    case 'X': return handlers.onCommandX(r);
    default: return -1;
    }
}

// The record is checked whole (checksum, size) before its handler runs, so a
// damaged chunk never reaches the archives.
bool MendrelReader::runCommand(uint32_t size) {
    uint8_t header[128];
    if (!readExact(header, kCommonCommandBytes)) {
        pushError(kErrBodyRead);
        return false;
    }
    const CommandInfo* info = findCommand(static_cast<char>(header[4]));
    if (info == nullptr) {
        pushError(kErrUnknownCommand);
        return false;
    }
    if (!readExact(header + kCommonCommandBytes, info->headerLength - kCommonCommandBytes)) {
        pushError(kErrBodyRead);
        return false;
    }
    CommandRecord record;
    decodeCommandHeader(header, record);
    if (record.innerSize < info->headerLength) {
        pushError(kErrInnerSizeShort);
        return false;
    }
    const uint32_t payloadLength = record.innerSize - info->headerLength;
    if (payloadLength > fileSize_ - std::min(position_, fileSize_)) {
        failShortOfData(kErrBodyRead);
        return false;
    }
    uint8_t* buffer = recordBuffer(record.innerSize);
    if (buffer == nullptr) {
        pushError(kErrRecordMemory);
        return false;
    }
    std::memcpy(buffer, header, info->headerLength);
    if (!readExact(buffer + info->headerLength, payloadLength)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        return false;
    }
    if (size != record.innerSize) {
        pushError(kErrInnerSizeMismatch);
        return false;
    }
    record.record = buffer;
    record.payload = buffer + info->headerLength;
    record.payloadLength = payloadLength;
    if (dispatchCommand(record) == -1) {
        pushError(info->failureCode);
        return false;
    }
    return true;
}

// One buffer serves every command of a pass: a fresh allocation of a large
// record per command costs a page fault for every page it touches.
uint8_t* MendrelReader::recordBuffer(uint32_t length) {
    if (length <= recordCapacity_ && record_) return record_.get();
    record_.reset(new (std::nothrow) uint8_t[length]);
    recordCapacity_ = record_ ? length : 0;
    return record_.get();
}

bool MendrelReader::runDirectoryChunk(uint32_t size, bool add) {
    std::string name;
    uint32_t consumed = 0;
    if (!readName(name, consumed)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (size < consumed) {
        pushError(kErrNameLength);
        return false;
    }
    uint8_t reserved[kDirectoryTrailer];
    if (!readExact(reserved, sizeof reserved)) {
        pushError(kErrBodyRead);
        return false;
    }
    if (uint64_t{size} != uint64_t{consumed} + kDirectoryTrailer) {
        pushError(kErrDirectorySize);
        return false;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        return false;
    }
    clearErrors();
    const int result = add ? handlers.onAddDirectory(name) : handlers.onDeleteDirectory(name);
    if (result == -1) {
        if (!hasErrors()) pushError(add ? kErrOnAddDirectory : kErrOnDeleteDirectory);
        return false;
    }
    return true;
}

// An "APLY" after the group is dropped unchecked; a longer one is refused.
MendrelReader::Pass MendrelReader::skipLateApply(uint32_t size) {
    if (size > kApplyBodySize) {
        pushError(kErrApplySize);
        return Pass::Abort;
    }
    if (!skipExact(uint64_t{size} + 4)) {
        pushError(kErrBodyRead);
        return Pass::Abort;
    }
    return Pass::Incomplete;
}

MendrelReader::Pass MendrelReader::readEndChunk(uint32_t size) {
    uint8_t piece[kEndPiece];
    for (uint32_t left = size; left > 0;) {
        const uint32_t n = std::min(left, kEndPiece);
        if (!readExact(piece, n)) {
            pushError(kErrBodyRead);
            discardPatch();
            return Pass::Abort;
        }
        left -= n;
    }
    if (!verifyChecksum()) {
        pushError(kErrChecksumVerify);
        discardPatch();
        return Pass::Abort;
    }
    if (bytesRead_ != fileSize_) {
        pushError(kErrEofNotAtEnd);
        discardPatch();
        return Pass::Abort;
    }
    return Pass::Complete;
}

MendrelReader::Pass MendrelReader::chunkLoop() {
    for (;;) {
        yieldThread();
        if (takeCancel()) return Pass::Cancelled;
        uint32_t size = 0;
        ChunkTag tag{};
        if (!readChunkHeader(size, tag)) {
            if (lastError() == kErrEndOfFile) {
                clearErrors();
                return Pass::Complete;
            }
            pushError(kErrChunkHeader);
            return Pass::Incomplete;
        }
        if (tagIs(tag, kTagEntry)) {
            pushError(kErrEntryChunk);
            return Pass::Incomplete;
        }
        if (tagIs(tag, kTagCommand)) {
            if (runCommand(size)) continue;
            if (!hasErrors()) pushError(kErrEntryChunk);
            return Pass::Incomplete;
        }
        const bool add = tagIs(tag, kTagAddDirectory);
        if (add || tagIs(tag, kTagDeleteDirectory)) {
            if (runDirectoryChunk(size, add)) continue;
            if (!hasErrors()) pushError(add ? kErrAddDirectoryChunk : kErrDeleteDirectoryChunk);
            return Pass::Incomplete;
        }
        if (tagIs(tag, kTagApply)) {
            const Pass skipped = skipLateApply(size);
            if (skipped == Pass::Abort) return skipped;
            continue;
        }
        if (tagIs(tag, kTagEnd)) return readEndChunk(size);
        resetError(kErrUnexpectedTag);
        return Pass::Incomplete;
    }
}

MendrelReader::Pass MendrelReader::runPass() {
    if (!openPatch()) return Pass::Incomplete;
    if (!reportProgress()) {
        pushError(kErrProgressStop);
        return Pass::Incomplete;
    }
    if (!readPreamble()) return Pass::Incomplete;
    return chunkLoop();
}

bool MendrelReader::apply(const std::string& patchPath, std::atomic<int>* cancelWord) {
    patchPath_ = patchPath;
    cancelWord_ = cancelWord;
    discarded_ = false;
    extraTotal_ = 0;
    extraDone_ = 0;
    fileSize_ = 0;
    file_->resetCrc();
    rewind();
    handlers.onBegin();
    if (!preScan()) {
        handlers.onEnd();
        return false;
    }
    const Pass pass = runPass();
    file_->close();
    record_.reset();
    recordCapacity_ = 0;
    if (pass == Pass::Abort) {
        handlers.onEnd();
        return false;
    }
    if (handlers.onEnd() != 0) return false;
    if (pass == Pass::Cancelled) return false;
    const bool complete = pass == Pass::Complete;
    if (!complete && !hasErrors()) resetError(kErrShortRead);
    if (!reportProgress()) {
        pushError(kErrProgressStop);
        return false;
    }
    return complete;
}

}  // namespace tavo
