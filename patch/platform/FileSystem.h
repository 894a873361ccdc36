// Path-string functions, existence queries and file-system operations. Every
// failure is reported on the calling thread's error stack.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavo {

constexpr int kErrDeleteMissingFile = 10708;

bool isSeparator(char c);
std::string fileNameOf(const std::string& path);
std::string extensionOf(const std::string& path);
std::string directoryOf(const std::string& path);
void stripTrailingSeparator(std::string& path);
void normalizeSeparators(std::string& path, char separator);

bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);
bool isReadOnlyFile(const std::string& path);

bool getFreeSpace(const std::string& path, uint64_t* freeBytes);
bool getClusterSize(const std::string& rootPath, uint32_t* clusterSize);

// retries + 1 passes, `sleepMs` apart; a missing file fails at once (10708).
bool deleteFile(const std::string& path, bool clearReadOnly, int retries, unsigned sleepMs);
// Pushes nothing when it fails.
bool createDirectories(const std::string& path);
bool removeDirectory(const std::string& path);

class DirectoryVisitor {
public:
    virtual ~DirectoryVisitor() = default;
    virtual bool onFile(const std::string& path, uint32_t& count) = 0;
    virtual bool onDirectory(const std::string& path, uint32_t& count) = 0;
};
// Visits the entries of one directory (the visitor recurses itself). The
// library always passes the pattern "*".
uint32_t walkDirectory(const std::string& directory, const std::string& pattern,
                       DirectoryVisitor& visitor);

bool copyFile(const std::string& source, const std::string& destination);
// Regular files directly in `directory` matching `pattern` ('*' and '?'),
// appended as directory + "/" + name.
std::size_t listFiles(std::vector<std::string>& out, const std::string& directory,
                      const std::string& pattern);
bool getFileSize32(const std::string& path, uint32_t* size);

}  // namespace tavo
