#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "comm_test_support.h"
#include "serial/comm_thread.h"

// The event thread of an open port. The keyer's port asks for no line
// events, so the thread only waits until the port closes; it must end by
// itself a moment after it is stopped, before the objects it points to
// and the process are gone (a thread running at exit can crash it).

namespace ziv::test {
namespace {

using namespace std::chrono_literals;

// Polls `condition` for up to ten seconds of real time.
template <typename F>
bool Eventually(F&& condition) {
    for (int i = 0; i < 2000 && !condition(); ++i)
        std::this_thread::sleep_for(5ms);
    return condition();
}

struct EventThread : ::testing::Test {
    TFakeCommPlatform platform;
    TDroppingInvoker invoker;
    TRecordingErrorReport report;
    TFakeLineEvents& events = *platform.Events;
    std::shared_ptr<TVaCommThread> thread =
        TVaCommThread::Create(platform, 100, tpNormal, invoker, report);
    std::weak_ptr<TVaCommThread> watch = thread;

    void TearDown() override {
        thread->Stop();
        thread.reset();
        EXPECT_TRUE(Eventually([&] { return watch.expired(); })) << "the thread outlived its stop";
    }
};

TEST_F(EventThread, StopWhileWaitingEndsTheThread) {
    ASSERT_TRUE(Eventually([&] { return events.Waits == 1; }));
}

// A device in trouble (an unplugged adapter) fails every wait at once: the
// thread pauses 100 ms after each rather than spin.
TEST_F(EventThread, FailingWaitsDoNotSpin) {
    events.FailAtOnce = 5;
    events.Push(0);  // ends the wait under way
    ASSERT_TRUE(Eventually([&] { return events.Waits >= 2; }));
    const int before = events.Waits;
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(events.Waits - before, 11);
}

}  // namespace
}  // namespace ziv::test
