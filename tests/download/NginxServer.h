// Debian's nginx as the test's own process: its own configuration, pid file,
// logs and temporary paths under a temporary directory, serving `root` on a
// loopback address. Stopped (by its process id) when the object goes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace tavotest {

class NginxServer {
public:
    static const char* binary();  // null when nginx is not installed
    NginxServer(const std::string& workDir, const std::string& root, const std::string& address,
                uint16_t port);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool running() const { return ready_; }
    std::string url(const std::string& path) const;

private:
    std::string address_;
    uint16_t port_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace tavotest
