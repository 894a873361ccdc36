#include "SafePath.h"

#include "platform/PathText.h"

namespace tavo {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;

bool isSlash(char c) { return c == '/' || c == '\\'; }

// Some systems drop trailing dots and spaces of a name, so besides ".." any
// name made only of dots and spaces (other than ".") is refused.
bool climbsUp(const std::string& component) {
    if (component.empty() || component == ".") return false;
    return component.find_first_not_of(". ") == std::string::npos;
}

bool isContainedText(const std::string& path) {
    if (!path.empty() && isSlash(path[0])) return false;
    std::string component;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < kFirstPrintable || c == ':') return false;
        if (isSlash(c)) {
            if (climbsUp(component)) return false;
            component.clear();
        } else {
            component += c;
        }
    }
    return !climbsUp(component);
}

}  // namespace

bool isContainedRelativePath(const std::string& path) {
    return isContainedText(path) && isContainedText(toSystemPath(path));
}

}  // namespace tavo
