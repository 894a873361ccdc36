// The archive database files (".tvdb"): removed from the installation's top
// level, then copied from the patch's folder to their archives' folders.
#include <cctype>
#include <vector>

#include "ArchivePaths.h"
#include "MendrelApplier.h"
#include "platform/FileSystem.h"

namespace tavo {

namespace {

const char* const kDatabasePattern = "*.tvdb";
constexpr std::size_t kIdDigits = 6;

// The six hexadecimal digits before the first "." (underscores ignored):
// two for the main id, four for the sub id.
bool parseDatabaseName(const std::string& name, uint16_t* mainId, uint16_t* subId) {
    std::string digits;
    for (char c : name.substr(0, name.find('.'))) {
        if (c != '_') digits += c;
    }
    if (digits.size() != kIdDigits) return false;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    const unsigned long value = std::stoul(digits, nullptr, 16);
    *mainId = static_cast<uint16_t>(value >> 16);
    *subId = static_cast<uint16_t>(value & 0xFFFF);
    return true;
}

}  // namespace

bool MendrelApplier::removeInstalledDatabases() {
    std::vector<std::string> files;
    listFiles(files, installDirectory_, kDatabasePattern);
    for (std::string& path : files) {
        normalizeSeparators(path, '/');
        if (!deleteFile(path, false, 0, 100)) return false;
    }
    return true;
}

bool MendrelApplier::installPatchDatabases() {
    std::vector<std::string> files;
    listFiles(files, patchDirectory_, kDatabasePattern);
    for (std::string& source : files) {
        normalizeSeparators(source, '/');
        uint16_t mainId = 0;
        uint16_t subId = 0;
        if (!parseDatabaseName(fileNameOf(source), &mainId, &subId)) continue;
        const std::string target = databasePath(installDirectory_, mainId, subId);
        if (target.empty()) continue;
        createDirectories(directoryOf(target));
        if (!copyFile(source, target)) return false;
    }
    return true;
}

}  // namespace tavo
