// The installed game's version file and the file hash string.
#include <cstdio>
#include <cstring>
#include <string>

#include "ExportGuard.h"
#include "ResultCodes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Sha1.h"
#include "platform/WorkerThread.h"

using namespace tavo;

namespace {

constexpr char kVersionFileName[] = "zanthgame.ver";
constexpr char kVersionRepository[] = "game";
constexpr std::size_t kMaxVersionLength = 255;
constexpr int kHashOpenAttempts = 11;
constexpr unsigned kHashOpenPauseMs = 1000;
constexpr uint32_t kHashPieceSize = 1024;

// The directory as given, with '\' turned into '/' and one trailing '/' removed.
std::string versionDirectory(const char* directory) {
    std::string dir = directory;
    normalizeSeparators(dir, '/');
    if (!dir.empty() && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string versionFilePath(const std::string& dir) { return dir + "/" + kVersionFileName; }

// Reads exactly `count` bytes, across short reads.
bool readExactly(File& file, char* buffer, uint64_t count) {
    uint64_t done = 0;
    while (done < count) {
        uint32_t got = 0;
        const uint64_t left = count - done;
        const uint32_t ask = left > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(left);
        if (!file.read(buffer + done, ask, &got) || got == 0) return false;
        done += got;
    }
    return true;
}

}  // namespace

extern "C" TAVOPATCH_API int tavoPatchSetVersionName(const char* directory, const char* repository,
                                                     const char* version) {
    return exportGuard(kResultFailed, [&] {
        if (!isValidUtf8(directory) || !isValidUtf8(repository) || !isValidUtf8(version))
            return kResultBadUtf8;
        if (std::strcmp(repository, kVersionRepository) != 0) return kResultBadRepository;
        const std::size_t length = std::strlen(version);
        if (length > kMaxVersionLength) return kResultFailed;
        const std::string dir = versionDirectory(directory);
        // The root directory loses its only '/' above; it is still a directory.
        if (!directoryExists(dir.empty() && directory[0] != '\0' ? "/" : dir)) return kResultBadVersionDir;

        File file;
        if (!file.open(versionFilePath(dir).c_str(), "wb", 0)) return kResultFailed;
        uint32_t written = 0;
        const bool ok = file.write(version, static_cast<uint32_t>(length), &written);
        file.close();
        return ok && written == length ? kResultOk : kResultFailed;
    });
}

extern "C" TAVOPATCH_API int tavoPatchGetVersionName(const char* directory, const char* repository,
                                                     char* out, unsigned outSize) {
    return exportGuard(kResultFailed, [&] {
        if (!isValidUtf8(directory) || !isValidUtf8(repository)) return kResultBadUtf8;
        if (std::strcmp(repository, kVersionRepository) != 0) return kResultBadRepository;
        const std::string path = versionFilePath(versionDirectory(directory));
        if (!fileExists(path)) return kResultNoVersionFile;

        uint32_t size = 0;
        if (!getFileSize32(path, &size)) return kResultFailed;
        if (out == nullptr || uint64_t{size} + 1 > outSize) return kResultBufferTooSmall;
        File file;
        if (!file.open(path.c_str(), "rb", 0)) return kResultFailed;
        if (!readExactly(file, out, size)) return kResultFailed;
        out[size] = '\0';
        return kResultOk;
    });
}

extern "C" TAVOPATCH_API int tavoPatchGetFileHashString(const char* path, char* out, int outSize) {
    return exportGuard(kResultFailed, [&] {
        if (!isValidUtf8(path)) return kResultBadUtf8;
        File file;
        // A file that is being replaced may be locked for a few seconds.
        bool opened = file.open(path, "rb", 0);
        for (int attempt = 1; !opened && attempt < kHashOpenAttempts; ++attempt) {
            sleepMs(kHashOpenPauseMs);
            opened = file.open(path, "rb", 0);
        }
        if (!opened) return kResultFailed;
        uint64_t size = 0;
        if (!file.size(&size)) return kResultFailed;

        Sha1 sha;
        char piece[kHashPieceSize];
        for (uint64_t done = 0; done < size;) {
            const uint32_t ask = size - done < kHashPieceSize ? static_cast<uint32_t>(size - done) : kHashPieceSize;
            uint32_t got = 0;
            if (!file.read(piece, ask, &got) || got != ask) return kResultFailed;
            sha.update(piece, got);
            done += got;
        }
        file.close();

        const std::string text = fileNameOf(path) + "/" + std::to_string(size) + "/" + Sha1::toHex(sha.finish());
        if (out == nullptr || outSize <= 0 || text.size() >= static_cast<std::size_t>(outSize))
            return kResultFailed;
        std::memcpy(out, text.c_str(), text.size() + 1);
        return kResultOk;
    });
}
