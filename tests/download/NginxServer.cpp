#include "NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

extern char** environ;

namespace tavotest {

namespace {

constexpr const char* kBinaries[] = {"/usr/sbin/nginx", "/usr/bin/nginx"};
constexpr int kStartAttempts = 200;
constexpr auto kStartPause = std::chrono::milliseconds(25);

bool accepts(const std::string& address, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    close(fd);
    return ok;
}

}  // namespace

const char* NginxServer::binary() {
    for (const char* path : kBinaries)
        if (access(path, X_OK) == 0) return path;
    return nullptr;
}

NginxServer::NginxServer(const std::string& workDir, const std::string& root, const std::string& address,
                         uint16_t port)
    : address_(address), port_(port) {
    const char* nginx = binary();
    if (!nginx) return;
    const std::string conf = workDir + "/nginx.conf";
    {
        std::ofstream out(conf);
        out << "worker_processes 1;\n"
            << (geteuid() == 0 ? "user root;\n" : "")
            << "pid " << workDir << "/nginx.pid;\n"
            << "error_log " << workDir << "/error.log;\n"
            << "events { worker_connections 64; }\n"
            << "http {\n"
            << "  access_log off;\n"
            << "  client_body_temp_path " << workDir << "/body;\n"
            << "  proxy_temp_path " << workDir << "/proxy;\n"
            << "  fastcgi_temp_path " << workDir << "/fastcgi;\n"
            << "  uwsgi_temp_path " << workDir << "/uwsgi;\n"
            << "  scgi_temp_path " << workDir << "/scgi;\n"
            << "  sendfile on;\n"
            << "  server { listen " << address << ":" << port << "; root " << root << "; }\n"
            << "}\n";
    }
    std::string prefix = workDir + "/";
    const char* argv[] = {nginx, "-p", prefix.c_str(), "-c", conf.c_str(), "-g", "daemon off;", nullptr};
    if (posix_spawn(&pid_, nginx, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        pid_ = -1;
        return;
    }
    for (int i = 0; i < kStartAttempts && !ready_; ++i) {
        ready_ = accepts(address_, port_);
        if (!ready_) std::this_thread::sleep_for(kStartPause);
    }
}

NginxServer::~NginxServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGQUIT);
    int status = 0;
    waitpid(pid_, &status, 0);
}

std::string NginxServer::url(const std::string& path) const {
    return "http://" + address_ + ":" + std::to_string(port_) + path;
}

}  // namespace tavotest
