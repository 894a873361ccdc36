// Command line of zanth-update.
#pragma once

#include <optional>
#include <string>

namespace zanth {

struct UpdateOptions {
    std::string installDir;
    std::string downloadDir;       // empty: the environment's folder under Documents
    std::string server;            // empty: the environment's version-check server
    std::string repository;        // empty: the environment's repository
    std::string scheme = "http";
    std::string endpointsJson = "-";
    std::string type = "0";
    std::optional<bool> variant;   // unset: false, or from the address for type 4
    std::string currentVersion;    // empty: read from the installation
    std::optional<bool> trace;     // unset: the environment's trace switch
    bool json = false;
    bool help = false;
};

// Nothing, with a message in error, for a command line that cannot be used.
std::optional<UpdateOptions> parseUpdateOptions(int argc, char** argv, std::string& error);
const char* updateUsage();

}  // namespace zanth
