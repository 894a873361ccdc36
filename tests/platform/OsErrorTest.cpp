#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/ErrorStack.h"
#include "platform/OsError.h"
#include "support/TempDir.h"

namespace {

using tavo::OsObject;
using tavo::win32FromErrno;

std::vector<int> codes() {
    std::vector<int> out;
    tavo::copyErrors(out);
    return out;
}

TEST(OsErrorTest, ErrnoMapping) {
    const struct {
        int errnoValue;
        unsigned forFile;
        unsigned forDirectory;
    } cases[] = {
        {EACCES, 5, 5},          {EPERM, 5, 5},          {EISDIR, 5, 5},
        {ENOTDIR, 3, 267},       {EEXIST, 80, 183},      {ENOTEMPTY, 145, 145},
        {ENOSPC, 112, 112},      {EDQUOT, 112, 112},     {ENAMETOOLONG, 206, 206},
        {EBUSY, 32, 32},         {ETXTBSY, 32, 32},      {EROFS, 19, 19},
        {EINVAL, 87, 87},        {EMFILE, 4, 4},         {ENFILE, 4, 4},
        {EBADF, 6, 6},           {ENOMEM, 8, 8},         {EIO, 1117, 1117},
        {EXDEV, 17, 17},         {ELOOP, 1921, 1921},    {EFBIG, 223, 223},
        {EOPNOTSUPP, 50, 50},    {EPIPE, 109, 109},      {ENOENT, 2, 2},
        // No Windows equivalent: the customer range keeps the errno visible.
        {EINTR, 0x20000000u + EINTR, 0x20000000u + EINTR},
        {EAGAIN, 0x20000000u + EAGAIN, 0x20000000u + EAGAIN},
        {ECONNREFUSED, 0x20000000u + ECONNREFUSED, 0x20000000u + ECONNREFUSED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32FromErrno(c.errnoValue, nullptr, OsObject::File), c.forFile)
            << "errno " << c.errnoValue;
        EXPECT_EQ(win32FromErrno(c.errnoValue, nullptr, OsObject::Directory), c.forDirectory)
            << "errno " << c.errnoValue;
    }
}

TEST(OsErrorTest, MissingFileOrMissingParent) {
    tavotest::TempDir dir;
    tavotest::writeFile(dir / "plain", "x");
    const struct {
        std::string path;
        unsigned expected;
    } cases[] = {
        {dir / "absent", 2},
        {dir / "absent/", 2},
        {dir / "nodir/absent", 3},
        {dir / "nodir/deeper/absent", 3},
        {dir / "plain/absent", 3},  // the parent is a file
        {dir.path() + "\\absent", 2},
        {dir.path() + "\\nodir\\absent", 3},
        {"relative-name-only", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32FromErrno(ENOENT, c.path.c_str()), c.expected) << c.path;
        EXPECT_EQ(win32FromErrno(ENOENT, c.path.c_str(), OsObject::Directory), c.expected)
            << c.path;
    }
}

TEST(OsErrorTest, RealFailuresReachTheStackAsWindowsNumbers) {
    tavotest::TempDir dir;
    const std::string missingParent = dir / "nodir/file";
    ASSERT_EQ(open(missingParent.c_str(), O_RDONLY), -1);
    tavo::resetOsError(errno, missingParent.c_str());
    EXPECT_EQ(codes(), (std::vector<int>{19900, 3}));

    ASSERT_EQ(mkdir(dir.path().c_str(), 0700), -1);
    tavo::resetOsError(errno, dir.path().c_str(), OsObject::Directory);
    EXPECT_EQ(codes(), (std::vector<int>{19900, 183}));

    tavotest::writeFile(dir / "f", "x");
    const std::string existing = dir / "f";
    ASSERT_EQ(open(existing.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600), -1);
    tavo::resetOsError(errno, existing.c_str());
    EXPECT_EQ(codes(), (std::vector<int>{19900, 80}));

    // A full disk turns into the library's own code with nothing beneath.
    tavo::resetOsError(ENOSPC);
    EXPECT_EQ(codes(), (std::vector<int>{10711}));

    tavo::resetOsError(EINTR);
    EXPECT_EQ(codes(), (std::vector<int>{19900, 0x20000000 + EINTR}));
}

TEST(OsErrorTest, MappingLeavesErrnoAlone) {
    tavotest::TempDir dir;
    const std::string path = dir / "nodir/file";
    errno = ENOENT;
    EXPECT_EQ(win32FromErrno(errno, path.c_str()), 3u);
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
