#include "PatchFileDownload.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "DownloadCodes.h"
#include "http/HttpCodes.h"
#include "http/HttpHeaders.h"
#include "http/HttpRequest.h"
#include "http/HttpResponseStatus.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr int kStatusOkFirst = 200;
constexpr int kStatusOkLast = 299;
constexpr int kStatusRangeNotSatisfiable = 416;
constexpr int kDecimalBase = 10;
constexpr const char* kUniqueIdHeader = "X-Patch-Unique-Id: ";

// Leading decimal digits; 0 when there are none.
uint64_t decimalU64(const std::string& text) {
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * kDecimalBase + static_cast<uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

// Halved until the allocation succeeds.
PatchFileDownload::PatchFileDownload(HttpSession* http) : slot_(http) {
    for (std::size_t size = kReceiveBufferBytes; size > 0 && !buffer_; size /= 2) {
        buffer_.reset(new (std::nothrow) uint8_t[size]);
        if (buffer_) bufferSize_ = size;
    }
    stagingSize_ = std::min(bufferSize_, kStagingBytes);
}

PatchFileDownload::~PatchFileDownload() { slot_.release(); }

bool PatchFileDownload::begin(const std::string& address, const std::string& uniqueId,
                              const std::string& downloadDirectory, bool resumeAllowed,
                              const PatchInfoRecord* table) {
    clearErrors();
    if (isBusy()) {
        pushError(kErrTransferBusy);
        return false;
    }
    slot_.release();
    record_ = table ? *table : PatchInfoRecord{};
    if (!table) record_.enabled = 0;
    verifier_.reset(0);
    staged_ = 0;
    if (!prepareFiles(address, downloadDirectory, resumeAllowed)) return false;

    auto fail = [this](int code) {
        closeFiles();
        slot_.release();
        pushError(code);
        return false;
    };
    HttpRequest* request = slot_.create();
    if (request == nullptr || stagingSize_ == 0) return fail(kErrTransferNoRequest);
    request->setOnHeaders([this](HttpRequest& r, const HttpResponseStatus& status, const HttpHeaders&) {
        return onHeaders(r, status);
    });
    request->setOnBodyData([this](HttpRequest&, const char* data, uint32_t length) {
        return onBodyData(data, length);
    });
    request->setOnComplete([this](HttpRequest&, uint32_t) { return onComplete(); });
    if (!request->open(address.c_str(), "GET")) return fail(kErrTransferOpenFailed);
    requestHeaders_ = kUniqueIdHeader + uniqueId + "\r\n";
    if (resumeOffset_ != 0) requestHeaders_ += "Range: bytes=" + std::to_string(resumeOffset_) + "-\r\n";
    {
        // Before the send: the answer handlers read `already`.
        ExclusiveGuard guard(progressLock_);
        already_ = resumeOffset_;
        total_ = 0;
        size_ = 0;
    }
    if (!request->send(requestHeaders_.c_str(), nullptr, 0, 0)) return fail(kErrTransferSendFailed);
    return true;
}

bool PatchFileDownload::isBusy() const { return slot_.get() && slot_.get()->isBusy(); }

void PatchFileDownload::cancel() {
    cancelFlag_.store(true);
    slot_.cancel();
}

DownloadProgress PatchFileDownload::progress() {
    SharedGuard guard(progressLock_);
    return DownloadProgress{already_, size_, total_};
}

bool PatchFileDownload::onHeaders(HttpRequest& request, const HttpResponseStatus& status) {
    const int code = status.statusCode();
    if (code < kStatusOkFirst || code > kStatusOkLast) {
        pushError(code);
        return false;
    }
    std::string lengthText;
    hasLength_ = request.getHeaderById(kHeaderIdContentLength, lengthText);
    const uint64_t length = hasLength_ ? decimalU64(lengthText) : 0;
    uint64_t already = 0;
    {
        ExclusiveGuard guard(progressLock_);
        total_ = length;
        already = already_;
        expectedEnd_ = already + length;
    }
    if (record_.enabled == 1 && already + length != record_.patchSize) {
        pushError(kErrLengthMismatch);
        if (beginFromZero()) saveRecord();
        return false;
    }
    return true;
}

bool PatchFileDownload::onBodyData(const char* data, uint32_t length) {
    {
        ExclusiveGuard guard(progressLock_);
        size_ += length;
    }
    if (hasLength_ && receivedPosition_ + length > expectedEnd_) {
        pushError(kErrBodyTooLong);
        return false;
    }
    while (length > 0) {
        const std::size_t take = std::min<std::size_t>(length, stagingSize_ - staged_);
        std::memcpy(buffer_.get() + staged_, data, take);
        staged_ += take;
        receivedPosition_ += take;
        data += take;
        length -= static_cast<uint32_t>(take);
        if ((receivedPosition_ == expectedEnd_ || staged_ == stagingSize_) && !flushStaged()) return false;
    }
    return true;
}

// A body without Content-Length ends without reaching the expected end.
bool PatchFileDownload::onComplete() { return staged_ == 0 || flushStaged(); }

// A block counts as verified only once its bytes are on disk: after a
// mismatch the bytes up to the end of the last passing block are still
// written and counted, the failing block is not.
bool PatchFileDownload::flushStaged() {
    BlockRun run;
    const bool passed = !verifying() || verifier_.check(record_, buffer_.get(), staged_, run);
    const std::size_t writable = passed ? staged_ : run.passedBytes;
    staged_ = 0;
    if (!writeStaged(writable)) return false;
    if (run.passedBlocks != 0) {
        record_.verifiedBlocks += run.passedBlocks;
        record_.lastError = 0;
        if (passed) saveRecord();
    }
    if (!passed) {
        if (containsError(kErrBlockMismatch)) record_.lastError = kErrBlockMismatch;
        saveRecord();
    }
    return passed;
}

bool PatchFileDownload::writeStaged(std::size_t length) {
    if (length == 0) return true;
    uint32_t written = 0;
    const auto count = static_cast<uint32_t>(length);
    if (!patchFile_.writeAt(buffer_.get(), count, &written, writePosition_) || written != count) {
        pushError(kErrPatchFileWrite);
        return false;
    }
    writePosition_ += length;
    return true;
}

// 416 means the server holds no bytes past the range start: success only when
// the request asked for the range after a complete, verified file.
bool PatchFileDownload::isCompleteResume() const {
    return record_.enabled == 1 && resumeOffset_ != 0 && resumeOffset_ == record_.patchSize;
}

bool PatchFileDownload::getResponse(bool& ok, std::string& patchPath) {
    HttpRequest* request = slot_.get();
    if (request && request->isBusy()) {
        pushError(kErrTransferBusy);
        return false;
    }
    bool succeeded = false;
    const bool finished = request && request->getResult(succeeded);
    closeFiles();
    slot_.release();
    if (!finished) return false;
    patchPath = names_.patchPath;
    ok = succeeded;
    if (succeeded) return true;
    if (containsError(kStatusRangeNotSatisfiable) && isCompleteResume()) {
        clearErrors();
        ok = true;
        return true;
    }
    if (containsError(kErrHttpCancelled)) clearErrors();
    return false;
}

}  // namespace tavo
