// An owned thread with a "finished" event, and the step loop all workers of the
// library derive from.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <pthread.h>

namespace tavo {

void sleepMs(unsigned ms);
void yieldThread();

class ThreadBase {
public:
    ThreadBase();
    virtual ~ThreadBase();
    ThreadBase(const ThreadBase&) = delete;
    ThreadBase& operator=(const ThreadBase&) = delete;

    virtual void requestStop();
    virtual void run();

protected:
    // Clears the stop flag, resets the finished event and starts a thread
    // running run(). False when the thread cannot be created.
    bool startThread();
    void waitFinished();
    bool isFinished() const;
    bool stopRequested() const { return stopFlag_.load(); }
    virtual const char* threadName() const { return ""; }

private:
    static void* entry(void* self);
    void setFinished();
    // Joins a thread whose body has returned (or is about to).
    void joinPrevious();

    std::atomic<bool> stopFlag_{false};
    mutable std::mutex finishedMutex_;
    std::condition_variable finishedCv_;
    bool finished_ = true;  // created signalled: no thread is running
    pthread_t thread_{};
    bool joinable_ = false;
};

class WorkerThread : public ThreadBase {
public:
    enum State : int32_t { Idle = 0, Running = 1, StopRequested = 2, Finished = 3 };
    static constexpr std::size_t kNameSize = 28;

    WorkerThread(bool sleepBetweenSteps, const char* name);
    // Subclasses must call stopAndWait() in their own destructor: the hooks run
    // on the thread and must not outlive the subclass's members.
    ~WorkerThread() override;

    bool start();
    bool restart();
    void stopAndWait();
    int32_t state() const { return state_.load(); }
    const char* name() const { return name_; }

protected:
    void run() final;
    virtual bool onStart() { return true; }
    virtual int step() { return 0; }
    virtual void onFinish() {}
    const char* threadName() const override { return name_; }

    // Ideal processor 0 and affinity to the first processor only.
    static void pinToFirstProcessor();

private:
    std::atomic<int32_t> state_{Idle};
    const bool sleepBetweenSteps_;
    char name_[kNameSize] = {};
};

}  // namespace tavo
