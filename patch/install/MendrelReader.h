// Walks one Mendrel patch file, validates every chunk and hands each decoded
// record to the owner's handlers. A damaged patch (and its ".info" resume
// file) is deleted, so that the next attempt downloads it again.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "MendrelFormat.h"
#include "platform/BufferedFile.h"

namespace tavo {

// Every handler returns -1 for failure, any other value for success; the
// defaults do nothing and succeed.
struct MendrelHandlers {
    std::function<int()> onBegin = [] { return 0; };
    std::function<int(const FileHeaderRecord&)> onFileHeader = [](const FileHeaderRecord&) { return 0; };
    std::function<int(uint64_t, uint64_t)> onApfs = [](uint64_t, uint64_t) { return 0; };
    std::function<int(bool)> onApplyOption1 = [](bool) { return 0; };
    std::function<int(bool)> onApplyOption2 = [](bool) { return 0; };
    std::function<int()> onApplyEnd = [] { return 0; };
    std::function<int(const std::string&)> onAddDirectory = [](const std::string&) { return 0; };
    std::function<int(const std::string&)> onDeleteDirectory = [](const std::string&) { return 0; };
    std::function<int(const CommandRecord&, uint64_t*)> onAddData = [](const CommandRecord&, uint64_t*) { return 0; };
    std::function<int(const CommandRecord&, uint64_t*)> onDeleteData = [](const CommandRecord&, uint64_t*) { return 0; };
    std::function<int(const CommandRecord&)> onExpandData = [](const CommandRecord&) { return 0; };
    std::function<int(const CommandRecord&)> onHeaderWrite = [](const CommandRecord&) { return 0; };
    std::function<int(const CommandRecord&)> onFileOperation = [](const CommandRecord&) { return 0; };
    std::function<int(const CommandRecord&)> onTargetInfo = [](const CommandRecord&) { return 0; };
    std::function<int(const CommandRecord&)> onCommandI = [](const CommandRecord&) { return 0; };
    std::function<int(const CommandRecord&)> onCommandX = [](const CommandRecord&) { return 0; };
    // Nonzero aborts the read that reported it.
    std::function<int(uint64_t done, uint64_t total)> onProgress = [](uint64_t, uint64_t) { return 0; };
    // Nonzero makes apply fail.
    std::function<int()> onEnd = [] { return 0; };
};

class MendrelReader {
public:
    MendrelHandlers handlers;

    MendrelReader();
    MendrelReader(const MendrelReader&) = delete;
    MendrelReader& operator=(const MendrelReader&) = delete;

    // cancelWord (may be null): 0 none, 1 requested, 2 acknowledged here.
    bool apply(const std::string& patchPath, std::atomic<int>* cancelWord);

    uint64_t extraTotal() const { return extraTotal_; }
    uint64_t extraDone() const { return extraDone_; }

private:
    enum class Read { Ok, Short, Failed };
    enum class Peek { Ok, End, Failed };
    enum class Pass { Complete, Incomplete, Cancelled, Abort };

    bool openPatch();
    void rewind();
    Read readRaw(void* buffer, uint32_t count, uint32_t& got);
    bool readExact(void* buffer, uint32_t count);
    bool skipExact(uint64_t count);
    bool reportProgress();
    void discardPatch();
    void failShortOfData(int code);

    bool readChunkHeader(uint32_t& size, ChunkTag& tag);
    bool verifyChecksum();
    Peek peekChunkHeader(ChunkTag& tag);
    bool readName(std::string& name, uint32_t& consumed);

    bool readPreamble();
    bool readSignature();
    bool readFileHeader();
    bool readApfs();
    bool readApplyGroup();
    bool readApplyOption(uint32_t size);
    bool preScan();
    bool preScanChunk(bool& stop);

    Pass runPass();
    Pass chunkLoop();
    bool runCommand(uint32_t size);
    uint8_t* recordBuffer(uint32_t length);
    int dispatchCommand(const CommandRecord& record);
    bool runDirectoryChunk(uint32_t size, bool add);
    Pass skipLateApply(uint32_t size);
    Pass readEndChunk(uint32_t size);
    bool takeCancel();

    std::string patchPath_;
    std::atomic<int>* cancelWord_ = nullptr;
    std::unique_ptr<BufferedFile> file_;
    uint64_t position_ = 0;
    uint64_t bytesRead_ = 0;
    uint64_t fileSize_ = 0;
    uint64_t extraTotal_ = 0;
    uint64_t extraDone_ = 0;
    bool discarded_ = false;
    std::unique_ptr<uint8_t[]> record_;
    uint32_t recordCapacity_ = 0;
    FileHeaderRecord header_{};
};

}  // namespace tavo
