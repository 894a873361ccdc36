// The transfer engine shared by both download kinds: one GET of a patch file
// into its local path, resumed from the ".info" file's verified blocks and
// checked block by block while the data is staged, one positioned write per
// staged piece.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "BlockVerifier.h"
#include "PatchFileNames.h"
#include "PatchInfoRecord.h"
#include "RequestSlot.h"
#include "platform/File.h"
#include "platform/SharedExclusiveLock.h"
#include "tavoPatch.h"

namespace tavo {

class HttpRequest;
class HttpResponseStatus;

constexpr std::size_t kReceiveBufferBytes = 10 * 1024 * 1024;
constexpr std::size_t kStagingBytes = 3 * 1024 * 1024;

class PatchFileDownload {
public:
    explicit PatchFileDownload(HttpSession* http);
    ~PatchFileDownload();
    PatchFileDownload(const PatchFileDownload&) = delete;
    PatchFileDownload& operator=(const PatchFileDownload&) = delete;

    // `table` null: no verification. Clears the calling thread's stack first.
    bool begin(const std::string& address, const std::string& uniqueId,
               const std::string& downloadDirectory, bool resumeAllowed, const PatchInfoRecord* table);
    bool isBusy() const;
    bool getResponse(bool& ok, std::string& patchPath);
    // Any thread.
    void cancel();
    // already, size, total under the progress lock.
    DownloadProgress progress();

    // For tests and benchmarks: the size the receive buffer got.
    std::size_t bufferSize() const { return bufferSize_; }

private:
    // Preparing the local files (PatchFilePreparation.cpp).
    bool prepareFiles(const std::string& address, const std::string& downloadDirectory, bool resumeAllowed);
    void removeOtherPatchFiles() const;
    bool openPatchFile(bool resumeAllowed, uint64_t& length);
    bool resumeFromInfo(uint64_t length);
    bool mustBeginFromZero(const PatchInfoRecord& stored, uint64_t length) const;
    bool rehashPartialBlock(uint64_t length);
    bool beginFromZero();
    void saveRecord();
    void finishPreparation();
    void closeFiles();

    // Answer handlers (pump thread).
    bool onHeaders(HttpRequest& request, const HttpResponseStatus& status);
    bool onBodyData(const char* data, uint32_t length);
    bool onComplete();
    bool flushStaged();
    bool writeStaged(std::size_t length);
    bool verifying() const { return record_.enabled == 1 && record_.hashCount != 0; }
    bool isCompleteResume() const;

    std::unique_ptr<uint8_t[]> buffer_;
    std::size_t bufferSize_ = 0;
    std::size_t stagingSize_ = 0;
    std::size_t staged_ = 0;

    SharedExclusiveLock progressLock_;
    uint64_t already_ = 0;
    uint64_t total_ = 0;
    uint64_t size_ = 0;

    PatchFileNames names_;
    File patchFile_;
    File infoFile_;
    uint64_t writePosition_ = 0;
    uint64_t resumeOffset_ = 0;
    uint64_t receivedPosition_ = 0;
    uint64_t expectedEnd_ = 0;
    bool hasLength_ = false;
    BlockVerifier verifier_;
    PatchInfoRecord record_;
    std::string requestHeaders_;  // must outlive the send
    std::atomic<bool> cancelFlag_{false};
    // Last: released first, so no handler runs into the members above.
    RequestSlot slot_;
};

}  // namespace tavo
