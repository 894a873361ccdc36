// A minimal HTTP sender for the benchmark: 127.0.0.1 only, answers every GET
// with one body of a fixed size written from a 1 MiB buffer in a send loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zanthbench {

class BodySender {
public:
    explicit BodySender(uint64_t bodySize);
    ~BodySender();
    BodySender(const BodySender&) = delete;
    BodySender& operator=(const BodySender&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    std::string url() const;

private:
    void acceptLoop();
    void serve(int fd);

    const uint64_t bodySize_;
    std::vector<char> chunk_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<std::thread> connections_;
};

}  // namespace zanthbench
