#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>
#include <vector>

#include "comm_test_support.h"
#include "mock/virtual_ui_thread.h"
#include "serial/comm_thread.h"
#include "serial/critical_section.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;

// Polls `condition` for up to two seconds of real time.
template <typename F>
bool Eventually(F&& condition) {
    for (int i = 0; i < 400; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

// A user-interface thread that keeps hand-overs until the test runs them.
class TQueueInvoker : public TUiInvoker {
public:
    void InvokeAsync(std::function<void()> call) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        cv_.notify_all();
    }
    // Waits for the next hand-over and takes it (empty after two seconds).
    std::function<void()> Take() {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, 2s, [&] { return !calls_.empty(); }))
            return {};
        auto call = std::move(calls_.front());
        calls_.pop_front();
        return call;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> calls_;
};

struct EventThread : ::testing::Test {
    TFakeCommPlatform platform;
    TQueueInvoker invoker;
    TRecordingErrorReport report;
    TFakeLineEvents& events = *platform.Events;

    std::shared_ptr<TVaCommThread> Start(TVaCommThreadEvent handler) {
        auto thread = TVaCommThread::Create(platform, 100, tpNormal, invoker, report);
        thread->SetOnEvent(std::move(handler));
        started.push_back(thread);
        return thread;
    }

    // A stopped thread ends by itself a moment later; it must be gone
    // before the invoker and the report it points to, and before the
    // process exits (a thread still running then can crash the exit).
    void TearDown() override {
        for (const auto& thread : started)
            EXPECT_TRUE(Eventually([&] { return thread.expired(); }))
                << "a thread outlived its test";
    }

    std::vector<std::weak_ptr<TVaCommThread>> started;
};

TEST_F(EventThread, StopWhileWaitingEndsThreadWithoutHandler) {
    int calls = 0;
    auto thread = Start([&](TObject*, std::uint32_t) { ++calls; });
    std::weak_ptr<TVaCommThread> watch = thread;
    ASSERT_TRUE(Eventually([&] { return events.Blocked.load() == 1; }));
    thread->Stop();
    thread.reset();
    EXPECT_TRUE(Eventually([&] { return watch.expired(); }));
    EXPECT_EQ(events.Waits.load(), 1);
    EXPECT_EQ(calls, 0);
}

TEST_F(EventThread, DispatchesEventsWaitsForHandlerAndSurvivesThrow) {
    std::vector<std::uint32_t> masks;
    TObject* self = nullptr;
    auto thread = Start([&](TObject* sender, std::uint32_t mask) {
        EXPECT_EQ(sender, self);
        masks.push_back(mask);
        if (mask == EV_ERR)
            throw EVaCommError("handler failed");
    });
    self = thread.get();

    events.Push(0);  // a wait completed without events: nothing to hand over
    events.Push(EV_ERR);
    auto call = invoker.Take();
    ASSERT_TRUE(call);
    // The thread waits for the hand-over before its next wait.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(events.Waits.load(), 2);
    call();
    call = nullptr;
    EXPECT_EQ(report.Messages(), std::vector<std::string>{"handler failed"});

    events.Push(EV_RXCHAR | EV_CTS);
    call = invoker.Take();
    ASSERT_TRUE(call);
    call();
    EXPECT_EQ(masks, (std::vector<std::uint32_t>{EV_ERR, EV_RXCHAR | EV_CTS}));
    thread->Stop();
}

TEST_F(EventThread, NoHandlerAfterStopAndStopFromInsideHandler) {
    int calls = 0;
    auto thread = Start([&](TObject*, std::uint32_t) { ++calls; });
    events.Push(EV_RING);
    auto late = invoker.Take();
    ASSERT_TRUE(late);
    thread->Stop();
    late();  // completed before Stop, run after it
    EXPECT_EQ(calls, 0);
    late = nullptr;

    std::weak_ptr<TVaCommThread> watch;
    auto second = Start([&](TObject*, std::uint32_t) {
        ++calls;
        if (auto self = watch.lock())
            self->Stop();
    });
    watch = second;
    second.reset();
    events.Push(EV_RING);
    auto call = invoker.Take();
    ASSERT_TRUE(call);
    call();
    call = nullptr;
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(Eventually([&] { return watch.expired(); }));
}

TEST_F(EventThread, DroppedHandOverAndFailingWaitsDoNotStickOrSpin) {
    TDroppingInvoker dropping;
    auto thread = TVaCommThread::Create(platform, 100, tpLowest, dropping, report);
    thread->SetOnEvent([](TObject*, std::uint32_t) {});
    events.Push(EV_RXCHAR);
    EXPECT_TRUE(Eventually([&] { return events.Waits.load() == 2 && events.Blocked == 1; }));
    // tpLowest: nice 10 on Linux, THREAD_PRIORITY_LOWEST on Windows.
#ifdef _WIN32
    EXPECT_EQ(events.FirstWaitNice.load(), -2);
#else
    EXPECT_EQ(events.FirstWaitNice.load(), 10);
#endif

    events.FailAtOnce = 5;
    events.Push(0);
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(events.Waits.load(), 12);
    thread->Stop();
}

TEST_F(EventThread, ShuttingDownApplicationDispatchesNothing) {
    int calls = 0;
    auto thread = Start([&](TObject*, std::uint32_t) { ++calls; });
    SetApplicationShuttingDown(true);
    events.Push(EV_RXCHAR);
    EXPECT_TRUE(Eventually([&] { return events.Waits.load() == 2; }));
    SetApplicationShuttingDown(false);
    thread->Stop();
    EXPECT_EQ(calls, 0);
}

TEST(SimpleEvent, ManualResetWaits) {
    TVaSimpleEvent event;
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.WaitFor(30), wrTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    event.SetEvent();
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(INFINITE), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrSignaled);  // stays set until reset
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
}

TEST(CriticalSection, IsReentrantAndExcludesOthers) {
    TVaCriticalSection section;
    std::atomic<bool> entered{false};
    section.Enter();
    section.Enter();
    std::thread other([&] {
        TVaLockGuard guard(section);
        entered = true;
    });
    section.Leave();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(entered.load()) << "entered while held once more";
    section.Leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

// The component's events reach the user-interface thread through the
// virtual one; a handler that throws goes to the error report.
TEST(CommEventThread, ComponentEventsOnUiThread) {
    TFakeCommPlatform platform;
    TVirtualUiThread ui;
    TRecordingErrorReport report;
    TVaComm com{platform, ui, report};
    platform.DeviceStat.cbInQue = 3;
    std::vector<std::int32_t> counts;
    const auto uiThread = std::this_thread::get_id();
    com.SetOnData([&](TObject*, std::int32_t count) {
        EXPECT_EQ(std::this_thread::get_id(), uiThread);
        counts.push_back(count);
        if (counts.size() == 1)
            throw EVaCommError("first");
    });
    com.SetPortNum(1);
    com.Open();
    platform.Events->Push(EV_RXCHAR);
    ASSERT_TRUE(ui.WaitForHandOver(2000));
    platform.Events->Push(EV_RXCHAR);
    ASSERT_TRUE(ui.WaitForHandOver(2000));
    EXPECT_EQ(counts, (std::vector<std::int32_t>{3, 3}));
    EXPECT_EQ(report.Messages(), std::vector<std::string>{"first"});

    com.Close();
    platform.Events->Push(EV_RXCHAR);
    EXPECT_FALSE(ui.WaitForHandOver(100));
}

}  // namespace
}  // namespace ziv::test
