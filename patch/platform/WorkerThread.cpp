#include "WorkerThread.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sched.h>

namespace tavo {
namespace {

// 64 KiB is too little for libc's own needs under sanitizers; 1 MiB is safe.
constexpr std::size_t kThreadStackSize = 1u << 20;
// Longest thread name the OS accepts, without the terminating NUL.
constexpr std::size_t kOsThreadNameLength = 15;
constexpr long kNanosPerMilli = 1000000;
constexpr unsigned kMillisPerSecond = 1000;

void setCurrentAffinity(const cpu_set_t& set) {
    // Failure only means the thread stays where it was.
    (void)pthread_setaffinity_np(pthread_self(), sizeof(set), &set);
}

void allowAllProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) CPU_SET(cpu, &set);
    setCurrentAffinity(set);
}

void nameCurrentThread(const char* name) {
    char osName[kOsThreadNameLength + 1] = {};
    std::strncpy(osName, name, kOsThreadNameLength);
    (void)pthread_setname_np(pthread_self(), osName);
}

// Moves `state` to StopRequested unless it already left Idle/Running.
void requestStopState(std::atomic<int32_t>& state) {
    int32_t current = state.load();
    while (current == WorkerThread::Idle || current == WorkerThread::Running) {
        if (state.compare_exchange_weak(current, WorkerThread::StopRequested)) return;
    }
}

}  // namespace

void sleepMs(unsigned ms) {
    timespec remaining{static_cast<time_t>(ms / kMillisPerSecond),
                       static_cast<long>(ms % kMillisPerSecond) * kNanosPerMilli};
    // Not alertable: a signal does not cut the sleep short.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

void yieldThread() { sched_yield(); }

// ---- ThreadBase ----------------------------------------------------------

ThreadBase::ThreadBase() = default;

ThreadBase::~ThreadBase() { joinPrevious(); }

void ThreadBase::requestStop() { stopFlag_.store(true); }

void ThreadBase::run() {}

bool ThreadBase::startThread() {
    // A body still running would share this object with the new one.
    if (!isFinished()) return false;
    joinPrevious();
    stopFlag_.store(false);
    {
        std::lock_guard<std::mutex> lock(finishedMutex_);
        finished_ = false;
    }

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        setFinished();
        return false;
    }
    pthread_attr_setstacksize(&attr, kThreadStackSize);
    // Normal priority, whatever the creating thread runs at.
    sched_param param{};
    param.sched_priority = 0;
    pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attr, SCHED_OTHER);
    pthread_attr_setschedparam(&attr, &param);
    const int rc = pthread_create(&thread_, &attr, &ThreadBase::entry, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        // No thread will ever signal: keep "nothing running" true for waiters.
        setFinished();
        return false;
    }
    joinable_ = true;
    return true;
}

void ThreadBase::waitFinished() {
    std::unique_lock<std::mutex> lock(finishedMutex_);
    finishedCv_.wait(lock, [this] { return finished_; });
}

bool ThreadBase::isFinished() const {
    std::lock_guard<std::mutex> lock(finishedMutex_);
    return finished_;
}

void ThreadBase::setFinished() {
    std::lock_guard<std::mutex> lock(finishedMutex_);
    finished_ = true;
    finishedCv_.notify_all();
}

void* ThreadBase::entry(void* self) {
    auto* thread = static_cast<ThreadBase*>(self);
    nameCurrentThread(thread->threadName());
    thread->run();
    thread->setFinished();
    return nullptr;
}

void ThreadBase::joinPrevious() {
    if (!joinable_) return;
    pthread_join(thread_, nullptr);
    joinable_ = false;
}

// ---- WorkerThread --------------------------------------------------------

WorkerThread::WorkerThread(bool sleepBetweenSteps, const char* name)
    : sleepBetweenSteps_(sleepBetweenSteps) {
    if (name) std::strncpy(name_, name, kNameSize - 1);
}

WorkerThread::~WorkerThread() { stopAndWait(); }

bool WorkerThread::start() { return startThread(); }

bool WorkerThread::restart() {
    stopAndWait();
    state_.store(Idle);
    return startThread();
}

void WorkerThread::stopAndWait() {
    requestStopState(state_);
    requestStop();
    waitFinished();
    state_.store(Finished);
}

void WorkerThread::run() {
    allowAllProcessors();
    if (state_.load() == Idle && onStart()) {
        int32_t expected = Idle;
        if (state_.compare_exchange_strong(expected, Running)) {
            while (state_.load() == Running) {
                if (step() != 0) break;
                if (sleepBetweenSteps_) sleepMs(1);
            }
        }
        onFinish();
    }
    state_.exchange(Finished);
}

void WorkerThread::pinToFirstProcessor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    setCurrentAffinity(set);
}

}  // namespace tavo
