// POSIX errno values reported as the equivalent Windows error numbers, so that
// the library's codes and the launcher's error texts are the same everywhere.
#pragma once

namespace tavo {

// Windows error numbers the library meets.
constexpr unsigned kWinFileNotFound = 2;
constexpr unsigned kWinPathNotFound = 3;
constexpr unsigned kWinAccessDenied = 5;
constexpr unsigned kWinWriteProtect = 19;
constexpr unsigned kWinSharingViolation = 32;
constexpr unsigned kWinFileExists = 80;
constexpr unsigned kWinInvalidParameter = 87;
constexpr unsigned kWinDiskFull = 112;
constexpr unsigned kWinDirNotEmpty = 145;
constexpr unsigned kWinAlreadyExists = 183;
constexpr unsigned kWinFilenameTooLong = 206;
constexpr unsigned kWinTooManyOpenFiles = 4;
constexpr unsigned kWinInvalidHandle = 6;
constexpr unsigned kWinNotEnoughMemory = 8;
constexpr unsigned kWinNotSameDevice = 17;
constexpr unsigned kWinNotSupported = 50;
constexpr unsigned kWinBrokenPipe = 109;
constexpr unsigned kWinFileTooLarge = 223;
constexpr unsigned kWinDirectoryInvalid = 267;
constexpr unsigned kWinIoDevice = 1117;
constexpr unsigned kWinCantResolveFilename = 1921;
// errno values without a Windows equivalent are reported in the customer range.
constexpr unsigned kCustomerCodeBase = 0x20000000;

enum class OsObject { File, Directory };

// `path` (may be null) lets ENOENT tell a missing file (2) from a missing
// parent directory (3); `object` decides EEXIST (80 for files, 183 for directories).
unsigned win32FromErrno(int errnoValue, const char* path = nullptr,
                        OsObject object = OsObject::File);

// resetWin32Error(win32FromErrno(errnoValue, path, object)).
void resetOsError(int errnoValue, const char* path = nullptr,
                  OsObject object = OsObject::File);

}  // namespace tavo
