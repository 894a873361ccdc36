#include "WarmPages.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace zanthbench {

namespace {
constexpr std::size_t kPiece = 4 << 20;
}

void warmPages(const std::string& dir, uint64_t bytes) {
    const std::string path = dir + "/warm-pages.tmp";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::vector<char> piece(kPiece, 1);
    for (uint64_t done = 0; done < bytes;) {
        const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(kPiece, bytes - done));
        if (::write(fd, piece.data(), n) != static_cast<ssize_t>(n)) break;
        done += n;
    }
    ::close(fd);
    ::unlink(path.c_str());  // dirty pages of a removed file are dropped, not written
}

}  // namespace zanthbench
