// Per-thread stack of numeric error codes plus one message text: the library's
// only failure channel besides result values.
#pragma once

#include <cstddef>
#include <vector>

namespace tavo {

constexpr int kErrorStackDepth = 32;
constexpr std::size_t kErrorMessageSize = 1024;

// Library codes for translated operating-system and runtime-library errors.
constexpr int kErrInvalidUrl = 10018;
constexpr int kErrTimeout = 10019;
constexpr int kErrNameNotResolved = 10020;
constexpr int kErrDiskFull = 10711;
constexpr int kErrRawOsMarker = 19900;
constexpr int kErrRawCrtMarker = 19901;

void pushError(int code);
void clearErrors();
void resetError(int code);
bool hasErrors();
bool containsError(int code);
int lastError();
int popError();

// Newest code first.
void copyErrors(std::vector<int>& out);
// Clears, then pushes from the front: a list made by copyErrors ends up reversed.
void restoreErrors(const std::vector<int>& codes);

void setErrorMessage(const char* text);
void getErrorMessage(char* buffer, std::size_t size);

// `code` is a Windows error number (see OsError.h for the POSIX mapping).
void resetWin32Error(unsigned code);
void resetCrtError(int errnoValue);

}  // namespace tavo
