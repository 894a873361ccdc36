#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <thread>
#include <vector>

#include "platform/WorkerThread.h"

namespace {

using tavo::WorkerThread;
using Clock = std::chrono::steady_clock;

// Generous: only a hang should ever hit it.
constexpr auto kPatience = std::chrono::seconds(20);

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + kPatience;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        tavo::sleepMs(1);
    }
    return true;
}

// pthread_t values are reused once a thread is joined; a serial is not.
int threadSerial() {
    static std::atomic<int> next{1};
    thread_local const int serial = next.fetch_add(1);
    return serial;
}

struct Event {
    std::string hook;
    int thread;
};

// A one-shot gate the test opens to let a blocked thread go on.
class Gate {
public:
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

// Records every hook with the thread it ran on. Steps never complete unless
// stepsToComplete is set.
class RecordingWorker : public WorkerThread {
public:
    explicit RecordingWorker(bool sleepBetweenSteps = false, const char* name = "RecordingWorker")
        : WorkerThread(sleepBetweenSteps, name) {}
    ~RecordingWorker() override { stopAndWait(); }

    std::vector<Event> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    int count(const std::string& hook) const {
        int n = 0;
        for (const Event& e : events())
            if (e.hook == hook) ++n;
        return n;
    }

    bool startResult = true;
    int stepsToComplete = 0;  // 0: never
    std::function<void()> onStartExtra;
    std::function<void()> onStepExtra;
    Gate* bodyGate = nullptr;  // holds the new thread before its body begins

    using WorkerThread::pinToFirstProcessor;

protected:
    bool onStart() override {
        record("onStart");
        if (onStartExtra) onStartExtra();
        return startResult;
    }
    int step() override {
        const int n = record("step");
        if (onStepExtra) onStepExtra();
        return stepsToComplete != 0 && n >= stepsToComplete;
    }
    void onFinish() override { record("onFinish"); }
    // Called on the new thread before run(): the one point a test can hold it.
    const char* threadName() const override {
        if (bodyGate) bodyGate->pass();
        return WorkerThread::threadName();
    }

private:
    int record(const char* hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({hook, threadSerial()});
        int n = 0;
        for (const Event& e : events_)
            if (e.hook == hook) ++n;
        return n;
    }

    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

std::vector<std::string> hooks(const std::vector<Event>& events) {
    std::vector<std::string> out;
    for (const Event& e : events) out.push_back(e.hook);
    return out;
}

TEST(WorkerThreadTest, StopAndWaitOnNeverStartedWorker) {
    RecordingWorker worker;
    EXPECT_EQ(worker.state(), WorkerThread::Idle);
    worker.stopAndWait();
    EXPECT_EQ(worker.state(), WorkerThread::Finished);
    EXPECT_TRUE(worker.events().empty());
}

TEST(WorkerThreadTest, RunsHooksOnItsOwnThreadUntilStepCompletes) {
    RecordingWorker worker;
    worker.stepsToComplete = 3;
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.state() == WorkerThread::Finished; }));
    worker.stopAndWait();
    const auto events = worker.events();
    EXPECT_EQ(hooks(events),
              (std::vector<std::string>{"onStart", "step", "step", "step", "onFinish"}));
    for (const Event& e : events) {
        EXPECT_EQ(e.thread, events.front().thread);
        EXPECT_NE(e.thread, threadSerial());
    }
    EXPECT_EQ(worker.state(), WorkerThread::Finished);
}

TEST(WorkerThreadTest, OnStartFalseSkipsOnFinish) {
    RecordingWorker worker;
    worker.startResult = false;
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.state() == WorkerThread::Finished; }));
    worker.stopAndWait();
    EXPECT_EQ(hooks(worker.events()), (std::vector<std::string>{"onStart"}));
}

TEST(WorkerThreadTest, StopBeforeBodyBeginsSkipsEveryHook) {
    Gate gate;
    RecordingWorker worker;
    worker.bodyGate = &gate;
    ASSERT_TRUE(worker.start());
    std::thread stopper([&] { worker.stopAndWait(); });
    ASSERT_TRUE(eventually([&] { return worker.state() == WorkerThread::StopRequested; }));
    gate.open();
    stopper.join();
    EXPECT_TRUE(worker.events().empty());
    EXPECT_EQ(worker.state(), WorkerThread::Finished);
}

TEST(WorkerThreadTest, StartAfterStopRunsNoHooksUntilRestart) {
    RecordingWorker worker;
    worker.stepsToComplete = 1;
    worker.stopAndWait();
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.state() == WorkerThread::Finished; }));
    worker.stopAndWait();  // joins the thread so its events are all in
    EXPECT_TRUE(worker.events().empty());

    ASSERT_TRUE(worker.restart());
    ASSERT_TRUE(eventually([&] { return worker.count("onFinish") == 1; }));
    worker.stopAndWait();
    EXPECT_EQ(hooks(worker.events()), (std::vector<std::string>{"onStart", "step", "onFinish"}));
}

TEST(WorkerThreadTest, RestartDuringStepLoopFinishesOldRunFirst) {
    RecordingWorker worker;
    worker.onStepExtra = [] { tavo::sleepMs(1); };
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.count("step") >= 3; }));
    EXPECT_EQ(worker.state(), WorkerThread::Running);

    ASSERT_TRUE(worker.restart());
    ASSERT_TRUE(eventually([&] { return worker.count("onStart") == 2; }));
    ASSERT_TRUE(eventually([&] { return worker.state() == WorkerThread::Running; }));
    worker.stopAndWait();

    const auto events = worker.events();
    const int first = events.front().thread;
    std::size_t i = 0;
    while (i < events.size() && events[i].thread == first) ++i;
    ASSERT_LT(i, events.size()) << "the second run never started";
    // The old thread's run ends with onFinish before anything of the new run.
    EXPECT_EQ(events[i - 1].hook, "onFinish");
    EXPECT_EQ(events[i].hook, "onStart");
    for (std::size_t j = i; j < events.size(); ++j)
        EXPECT_NE(events[j].thread, first) << "old thread at " << j;
    EXPECT_EQ(worker.count("onFinish"), 2);
    EXPECT_EQ(events.back().hook, "onFinish");
    EXPECT_EQ(worker.state(), WorkerThread::Finished);
}

TEST(WorkerThreadTest, SleepingStepLoopEndsOnStop) {
    RecordingWorker worker(true);
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.count("step") >= 3; }));
    worker.stopAndWait();
    const int steps = worker.count("step");
    EXPECT_EQ(worker.count("onFinish"), 1);
    EXPECT_EQ(worker.events().back().hook, "onFinish");
    tavo::sleepMs(20);
    EXPECT_EQ(worker.count("step"), steps);
    EXPECT_EQ(worker.state(), WorkerThread::Finished);
}

TEST(WorkerThreadTest, SecondStartWhileRunningIsRefused) {
    RecordingWorker worker;
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.count("step") >= 1; }));
    EXPECT_FALSE(worker.start());
    worker.stopAndWait();
    EXPECT_EQ(worker.count("onStart"), 1);
    EXPECT_EQ(worker.count("onFinish"), 1);
}

cpu_set_t currentAffinity() {
    cpu_set_t set;
    CPU_ZERO(&set);
    EXPECT_EQ(pthread_getaffinity_np(pthread_self(), sizeof(set), &set), 0);
    return set;
}

class AffinityTest : public ::testing::Test {
protected:
    void SetUp() override {
        original_ = currentAffinity();
        if (!CPU_ISSET(0, &original_) || CPU_COUNT(&original_) < 2)
            GTEST_SKIP() << "needs processor 0 and at least one other";
    }
    void TearDown() override {
        pthread_setaffinity_np(pthread_self(), sizeof(original_), &original_);
    }
    cpu_set_t original_;
};

TEST_F(AffinityTest, PinningRestrictsToFirstProcessor) {
    RecordingWorker worker;
    cpu_set_t seen;
    CPU_ZERO(&seen);
    worker.stepsToComplete = 1;
    worker.onStartExtra = [&] {
        RecordingWorker::pinToFirstProcessor();
        seen = currentAffinity();
    };
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.count("onFinish") == 1; }));
    worker.stopAndWait();
    ASSERT_EQ(worker.count("onStart"), 1);
    EXPECT_EQ(CPU_COUNT(&seen), 1);
    EXPECT_TRUE(CPU_ISSET(0, &seen));
}

TEST_F(AffinityTest, RunWidensInheritedAffinity) {
    // A thread inherits its creator's affinity; the body must not keep it.
    cpu_set_t pinned;
    CPU_ZERO(&pinned);
    CPU_SET(0, &pinned);
    ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof(pinned), &pinned), 0);
    RecordingWorker worker;
    cpu_set_t seen;
    CPU_ZERO(&seen);
    worker.stepsToComplete = 1;
    worker.onStartExtra = [&] { seen = currentAffinity(); };
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(eventually([&] { return worker.count("onFinish") == 1; }));
    worker.stopAndWait();
    EXPECT_TRUE(CPU_EQUAL(&seen, &original_));
}

TEST(WorkerThreadTest, OsNameIsTruncatedButNameKeepsAll) {
    const struct {
        const char* given;
        const char* name;
        const char* osName;
    } cases[] = {
        {"HttpGamePatchDownloader", "HttpGamePatchDownloader", "HttpGamePatchDo"},
        {"PatchInstaller", "PatchInstaller", "PatchInstaller"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0", "ABCDEFGHIJKLMNO"},
    };
    for (const auto& c : cases) {
        RecordingWorker worker(false, c.given);
        char osName[32] = {};
        worker.stepsToComplete = 1;
        worker.onStartExtra = [&] { pthread_getname_np(pthread_self(), osName, sizeof(osName)); };
        ASSERT_TRUE(worker.start());
        ASSERT_TRUE(eventually([&] { return worker.count("onFinish") == 1; }));
        worker.stopAndWait();
        EXPECT_STREQ(worker.name(), c.name);
        EXPECT_STREQ(osName, c.osName);
    }
}

TEST(WorkerThreadTest, NullNameIsEmpty) {
    RecordingWorker worker(false, nullptr);
    EXPECT_STREQ(worker.name(), "");
}

}  // namespace
