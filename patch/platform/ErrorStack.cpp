#include "ErrorStack.h"

#include <algorithm>
#include <cstring>

namespace tavo {
namespace {

// One record per thread; each thread only ever touches its own, so no lock is
// needed. It lives as long as its thread.
struct ErrorRecord {
    int top = -1;
    int codes[kErrorStackDepth] = {};
    char message[kErrorMessageSize] = {};
};

thread_local ErrorRecord tlsRecord;

struct Translation {
    unsigned osCode;
    int libraryCode;
};

constexpr Translation kOsTranslations[] = {
    {112, kErrDiskFull},           // disk full
    {12002, kErrTimeout},          // HTTP request timed out
    {12005, kErrInvalidUrl},       // URL is invalid
    {12007, kErrNameNotResolved},  // server name not resolved
};

constexpr int kCrtNoSpace = 28;  // ENOSPC, the same number in both runtimes

bool translateOsCode(unsigned code, int& libraryCode) {
    for (const Translation& t : kOsTranslations) {
        if (t.osCode == code) {
            libraryCode = t.libraryCode;
            return true;
        }
    }
    return false;
}

}  // namespace

void pushError(int code) {
    ErrorRecord& r = tlsRecord;
    if (r.top == kErrorStackDepth - 1) {
        // Full: the oldest code makes room for the newest.
        std::copy(r.codes + 1, r.codes + kErrorStackDepth, r.codes);
        r.top = kErrorStackDepth - 2;
    }
    r.codes[++r.top] = code;
}

void clearErrors() { tlsRecord.top = -1; }

void resetError(int code) {
    clearErrors();
    pushError(code);
}

bool hasErrors() { return tlsRecord.top != -1; }

bool containsError(int code) {
    const ErrorRecord& r = tlsRecord;
    return std::find(r.codes, r.codes + r.top + 1, code) != r.codes + r.top + 1;
}

int lastError() {
    const ErrorRecord& r = tlsRecord;
    return r.top < 0 ? 0 : r.codes[r.top];
}

int popError() {
    ErrorRecord& r = tlsRecord;
    return r.top < 0 ? 0 : r.codes[r.top--];
}

void copyErrors(std::vector<int>& out) {
    const ErrorRecord& r = tlsRecord;
    out.assign(std::make_reverse_iterator(r.codes + r.top + 1),
               std::make_reverse_iterator(r.codes));
}

void restoreErrors(const std::vector<int>& codes) {
    clearErrors();
    for (int code : codes) pushError(code);
}

void setErrorMessage(const char* text) {
    char* message = tlsRecord.message;
    std::size_t length = text ? strnlen(text, kErrorMessageSize - 1) : 0;
    std::memcpy(message, text ? text : "", length);
    message[length] = '\0';
}

void getErrorMessage(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return;
    const char* message = tlsRecord.message;
    std::size_t length = std::min(std::strlen(message), size - 1);
    std::memcpy(buffer, message, length);
    buffer[length] = '\0';
}

void resetWin32Error(unsigned code) {
    clearErrors();
    int libraryCode = 0;
    if (translateOsCode(code, libraryCode)) {
        pushError(libraryCode);
        return;
    }
    // Raw number beneath the marker that explains it; the raw value is kept
    // bit for bit, so customer-range numbers survive the int slot.
    pushError(static_cast<int>(code));
    pushError(kErrRawOsMarker);
}

void resetCrtError(int errnoValue) {
    clearErrors();
    if (errnoValue == kCrtNoSpace) {
        pushError(kErrDiskFull);
        return;
    }
    pushError(errnoValue);
    pushError(kErrRawCrtMarker);
}

}  // namespace tavo
