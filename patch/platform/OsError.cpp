#include "OsError.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>

#include "ErrorStack.h"
#include "PathText.h"

namespace tavo {
namespace {

// The one place where POSIX errno values become Windows error numbers.
// ENOENT is not listed: it depends on whether the parent directory exists.
struct ErrnoMapping {
    int errnoValue;
    unsigned forFile;
    unsigned forDirectory;
};

constexpr ErrnoMapping kErrnoMappings[] = {
    {EACCES, kWinAccessDenied, kWinAccessDenied},
    {EPERM, kWinAccessDenied, kWinAccessDenied},
    // Opening a directory as a file is refused as access denied on Windows.
    {EISDIR, kWinAccessDenied, kWinAccessDenied},
    // A file where a directory was expected: inside a path that is a missing
    // path; as the directory operated on it is an invalid directory name.
    {ENOTDIR, kWinPathNotFound, kWinDirectoryInvalid},
    {EEXIST, kWinFileExists, kWinAlreadyExists},
    {ENOTEMPTY, kWinDirNotEmpty, kWinDirNotEmpty},
    {ENOSPC, kWinDiskFull, kWinDiskFull},
    // A full quota is a full disk as far as the user can act on it.
    {EDQUOT, kWinDiskFull, kWinDiskFull},
    {ENAMETOOLONG, kWinFilenameTooLong, kWinFilenameTooLong},
    {EBUSY, kWinSharingViolation, kWinSharingViolation},
    {ETXTBSY, kWinSharingViolation, kWinSharingViolation},
    {EROFS, kWinWriteProtect, kWinWriteProtect},
    {EINVAL, kWinInvalidParameter, kWinInvalidParameter},
    {EMFILE, kWinTooManyOpenFiles, kWinTooManyOpenFiles},
    {ENFILE, kWinTooManyOpenFiles, kWinTooManyOpenFiles},
    {EBADF, kWinInvalidHandle, kWinInvalidHandle},
    {ENOMEM, kWinNotEnoughMemory, kWinNotEnoughMemory},
    {EIO, kWinIoDevice, kWinIoDevice},
    {EXDEV, kWinNotSameDevice, kWinNotSameDevice},
    {ELOOP, kWinCantResolveFilename, kWinCantResolveFilename},
    {EFBIG, kWinFileTooLarge, kWinFileTooLarge},
    {EOPNOTSUPP, kWinNotSupported, kWinNotSupported},
    {EPIPE, kWinBrokenPipe, kWinBrokenPipe},
};

bool parentDirectoryExists(const char* path) {
    std::string system = toSystemPath(path);
    while (system.size() > 1 && system.back() == '/') system.pop_back();
    std::size_t slash = system.rfind('/');
    if (slash == std::string::npos) return true;  // relative to the working directory
    std::string parent = slash == 0 ? std::string("/") : system.substr(0, slash);
    struct stat info;
    return stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

unsigned mapNotFound(const char* path) {
    if (!path) return kWinFileNotFound;
    const int savedErrno = errno;  // the caller may still want to read it
    unsigned code = parentDirectoryExists(path) ? kWinFileNotFound : kWinPathNotFound;
    errno = savedErrno;
    return code;
}

}  // namespace

unsigned win32FromErrno(int errnoValue, const char* path, OsObject object) {
    if (errnoValue == 0) return 0;
    if (errnoValue == ENOENT) return mapNotFound(path);
    for (const ErrnoMapping& m : kErrnoMappings) {
        if (m.errnoValue == errnoValue)
            return object == OsObject::Directory ? m.forDirectory : m.forFile;
    }
    return kCustomerCodeBase + static_cast<unsigned>(errnoValue);
}

void resetOsError(int errnoValue, const char* path, OsObject object) {
    resetWin32Error(win32FromErrno(errnoValue, path, object));
}

}  // namespace tavo
