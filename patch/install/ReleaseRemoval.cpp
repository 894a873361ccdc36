#include "ReleaseRemoval.h"

#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr int kDeleteRetries = 10;
const char* const kWalkPattern = "*";
const char* const kVersionSuffix = ".ver";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

ReleaseRemoval::ReleaseRemoval(const std::string& root, uint16_t expansionId, unsigned retryDelayMs)
    : root_(root),
      expansionId_(expansionId),
      releaseName_(expansionId == 0 ? "zanth" : "ex" + std::to_string(expansionId)),
      retryDelayMs_(retryDelayMs) {}

bool ReleaseRemoval::run() {
    walkDirectory(root_, kWalkPattern, *this);
    return failures_ == 0;
}

std::string ReleaseRemoval::relativeOf(const std::string& path) const {
    std::string rel = path.size() > root_.size() ? path.substr(root_.size()) : std::string();
    normalizeSeparators(rel, '/');
    return rel;
}

// "ex1" as a prefix also covers "ex10" and beyond, as the patches expect.
bool ReleaseRemoval::inScope(const std::string& dir) const {
    if (expansionId_ == 0) return !startsWith(dir, "tvpack/ex") && !startsWith(dir, "movie/ex");
    return startsWith(dir, "tvpack/" + releaseName_) || startsWith(dir, "movie/" + releaseName_);
}

bool ReleaseRemoval::onFile(const std::string& path, uint32_t& count) {
    ++count;
    const std::string rel = relativeOf(path);
    const std::size_t slash = rel.rfind('/');
    const std::string dir = slash == std::string::npos ? rel : rel.substr(0, slash);
    if (!inScope(dir) || endsWith(rel, kVersionSuffix)) return true;
    if (deleteFile(path, false, kDeleteRetries, retryDelayMs_)) return true;
    ++failures_;
    lastFailure_ = path;
    normalizeSeparators(lastFailure_, '/');
    return false;
}

bool ReleaseRemoval::onDirectory(const std::string& path, uint32_t& count) {
    ++count;
    const std::string rel = relativeOf(path);
    if (rel == "tvpack" || rel == "movie") {
        walkDirectory(path, kWalkPattern, *this);
    } else if (inScope(rel)) {
        walkDirectory(path, kWalkPattern, *this);
        removeDirectory(path);  // a folder that is not empty stays
    }
    clearErrors();
    return true;
}

}  // namespace tavo
