// A fresh directory below the system's temporary folder, removed with
// everything in it when the object goes away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavotest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

// Small file helpers for fixtures (they fail the current test on error).
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool pathExists(const std::string& path);

}  // namespace tavotest
