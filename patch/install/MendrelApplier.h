// Installs one patch file into one installation directory: binds the reader's
// handlers to the archive commands, runs it, then refreshes the archive
// database files.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "MendrelFormat.h"
#include "MendrelReader.h"
#include "platform/File.h"

namespace tavo {

class MendrelApplier {
public:
    MendrelApplier(const std::string& patchPath, const std::string& installDirectory);
    ~MendrelApplier();
    MendrelApplier(const MendrelApplier&) = delete;
    MendrelApplier& operator=(const MendrelApplier&) = delete;

    // The installation proper: pre-checks, the reader, the database refresh.
    bool apply(std::atomic<int>* cancelWord);

    // The owner binds onProgress here.
    MendrelReader& reader() { return reader_; }

    bool removeInstalledDatabases();
    bool installPatchDatabases();

private:
    using DataFileKey = std::pair<uint32_t, uint32_t>;

    void bindHandlers();
    bool checkPreconditions();
    bool refreshDatabases(bool result);
    File* dataFile(uint16_t mainId, uint16_t subId, uint32_t fileId);
    void closeDataFiles();
    bool bigEndian() const { return platform_ == 1; }
    std::string joinInstallPath(const std::string& relative) const;

    int addData(const CommandRecord& r);
    int deleteData(const CommandRecord& r, uint64_t* extraDone);
    int expandData(const CommandRecord& r);
    int headerWrite(const CommandRecord& r);
    int targetInfo(const CommandRecord& r);
    int fileOperation(const CommandRecord& r);
    int addFile(const CommandRecord& r, const std::string& target, const uint8_t* blocks,
                uint64_t blocksLength);
    int deleteTargetFile(const std::string& target);
    int removeRelease(const std::string& target, const std::string& relativePath,
                      uint16_t expansionId);
    int addDirectory(const std::string& name);
    int deleteDirectory(const std::string& name);

    bool writeBytes(File& file, const uint8_t* data, uint64_t length, uint64_t offset);
    bool writeZeros(File& file, uint64_t length, uint64_t offset);
    bool writeEmptyBlockHeader(File& file, uint32_t blockCount, uint64_t offset, uint32_t length);

    std::string installDirectory_;
    std::string patchPath_;
    std::string patchDirectory_;
    int platform_ = -1;
    std::unique_ptr<uint8_t[]> decoded_;  // decoded data of the current "F" add
    uint64_t decodeCapacity_ = 0;
    std::map<DataFileKey, std::unique_ptr<File>> dataFiles_;
    MendrelReader reader_;
};

}  // namespace tavo
