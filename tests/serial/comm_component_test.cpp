#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "mock/fake_comm_platform.h"
#include "serial/comm_thread.h"
#include "settings/settings_test_support.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

// A port component on the fake platform, on port 3.
struct CommComponent : ::testing::Test {
    CommComponent() {
        platform.Texts[5] = "Access is denied.\r\n";
        platform.DeviceDCB.DCBlength = 28;
        platform.DeviceDCB.wReserved = 7;
        platform.DeviceDCB.EofChar = 0x1A;
        platform.DeviceDCB.Flags = 0xFFFFFFFF;  // nothing of it may survive
        com.SetPortNum(3);
    }
    // The calls made since the last look.
    Names TakeCalls() {
        Names names = platform.CallNames();
        platform.Calls.clear();
        return names;
    }

    TFakeCommPlatform platform;
    TTestComm com{platform};
};

TEST_F(CommComponent, OpenAndCloseWithTheKeyersSettings) {
    TDCB expected = platform.DeviceDCB;  // what the component does not set is kept as read
    expected.BaudRate = 1200;
    expected.Flags = 0x301;
    expected.XonLim = expected.XoffLim = 1024;
    expected.ByteSize = 8;
    expected.XonChar = 0x11;
    expected.XoffChar = 0x13;

    com.Open();
    EXPECT_EQ(platform.OpenedNames, Names{"COM3"});
    EXPECT_EQ(platform.DeviceDCB, expected);
    EXPECT_EQ(platform.CallsNamed("SetCommTimeouts").at(0).arg, MAXDWORD);
    const auto setup = platform.CallsNamed("SetupComm").at(0);
    EXPECT_EQ(std::pair(setup.arg, setup.arg2), std::pair(4096u, 2048u));
    EXPECT_EQ(platform.CallsNamed("SetCommMask").at(0).arg, 0u);  // no line events
    EXPECT_EQ(
        TakeCalls(),
        // The lines the settings leave low are dropped first of all.
        (Names{"CreateFile", "CLRDTR", "CLRRTS", "GetCommState", "SetCommState", "SetHangUpOnClose",
               "SetCommTimeouts", "SetupComm", "SetCommMask", "CreateEventWait"}));
    EXPECT_TRUE(com.Active());

    com.Close();
    // Both control fields disabled: the lines are not touched.
    EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CloseHandle"}));
    EXPECT_FALSE(com.Active());
    com.Close();
    EXPECT_TRUE(TakeCalls().empty());
}

// Both lines idling low, the one written last (the PTT's) is dropped first.
TEST_F(CommComponent, TheLineWrittenLastIsDroppedFirstAtOpenAndOneAskedHighOpensHigh) {
    for (const bool dtr : {false, true}) {
        dtr ? com.SetDTR(false) : com.SetRTS(false);
        com.Open();
        const Names calls = TakeCalls();
        EXPECT_EQ(Names(calls.begin() + 1, calls.begin() + 3),
                  dtr ? (Names{"CLRDTR", "CLRRTS"}) : (Names{"CLRRTS", "CLRDTR"}));
        com.Close();
        TakeCalls();
    }

    // An Inverted PTT idles high: the level asked of the closed port goes
    // into the settings written at open, so the line never drops (keys) on
    // the way; a later open starts from both lines low again.
    for (const bool dtr : {true, false}) {
        dtr ? com.SetDTR(true) : com.SetRTS(true);
        EXPECT_TRUE(TakeCalls().empty());
        com.Open();
        EXPECT_EQ(platform.DeviceDCB.Flags, dtr ? 0x311u : 0x1301u);
        com.Close();
        com.Open();
        EXPECT_EQ(platform.DeviceDCB.Flags, 0x301u);
        com.Close();
        TakeCalls();
    }
}

// Whether the lines drop at close is set at every open (above), and at
// once on an open port, or an Inverted line drops (keys) at the end. A
// refused line switch says why, and leaves the lock it took.
TEST_F(CommComponent, HangUpOnCloseIsSetAtOnceAndARefusedSwitchSaysWhyAndLeavesTheLock) {
    com.Open();
    platform.Calls.clear();
    com.SetHangUpOnClose(false);
    EXPECT_EQ(platform.CallNames(), Names{"SetHangUpOnClose"});
    EXPECT_EQ(platform.Calls.at(0).arg, 0u);
    platform.FailWith["SetHangUpOnClose"] = 5;
    EXPECT_THROW(com.SetHangUpOnClose(true), EVaCommError);
    platform.FailWith["SETDTR"] = 5;
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.SetDTR(true); }),
              "Error calling comm function (5), Access is denied");
    std::thread([&] {
        com.Lock();
        com.Unlock();
    }).join();
}

// A device that opens but refuses its settings stays open, with no event
// thread, until closed: it is not held until the program ends.
TEST_F(CommComponent, FailureAfterTheDeviceIsOpenLeavesItOpenUntilClosed) {
    const std::pair<std::string, std::string> steps[] = {
        {"GetCommState", "Error reading dcb (5), Access is denied"},
        {"SetCommState", "Error writing dcb (5), Access is denied"},
        {"SetHangUpOnClose", "Error setting hang-up on close (5), Access is denied"},
        {"SetCommTimeouts", "Error setting timeouts (5), Access is denied"},
        {"SetupComm", "Error initializing buffers (5), Access is denied"},
        {"SetCommMask", " Error setting EventMask (5), Access is denied"},
    };
    for (const auto& [call, message] : steps) {
        platform.FailWith = {{call, 5}};
        EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Open(); }), message);
        EXPECT_TRUE(com.Active()) << call;
        EXPECT_EQ(platform.CallNames().back(), call);
        EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Open(); }),
                  "Can't perform this operation when port is open");
        platform.Calls.clear();
        com.Close();
        EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CloseHandle"}));
    }
}

// A failed close keeps the device and can be repeated; the destructor lets
// go of it whatever fails.
TEST_F(CommComponent, FailedCloseKeepsTheDeviceAndTheDestructorLetsGo) {
    com.SetDTREnable(true);
    com.SetRTSEnable(true);
    com.Open();
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x311u);
    platform.FailWith["PurgeComm"] = 5;
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Close(); }),
              "Error clearing buffers (5), Access is denied");
    EXPECT_TRUE(com.Active());
    platform.FailWith = {{"CLRDTR", 5}};
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Close(); }),
              "Error calling comm function (5), Access is denied");
    EXPECT_TRUE(com.Active());
    platform.FailWith.clear();
    platform.Calls.clear();
    com.Close();
    EXPECT_EQ(platform.Calls.at(0).arg,
              PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CLRDTR", "CLRRTS", "CloseHandle"}));

    {
        TTestComm other{platform};
        other.Open();
        platform.FailWith["PurgeComm"] = 5;
    }
    EXPECT_EQ(platform.CallNames().back(), "CloseHandle");
}

// The event thread of an open port. The keyer's port asks for no line
// events, so the thread only waits until the port closes; it must end by
// itself a moment after it is stopped, before the objects it points to and
// the process are gone (a thread running at exit can crash it). A device in
// trouble (an unplugged adapter) fails every wait at once: the thread
// pauses 100 ms after each rather than spin.
TEST(EventThread, WaitsWithoutSpinningAndEndsSoonAfterItsStop) {
    for (const bool failing : {false, true}) {
        TFakeCommPlatform platform;
        TDroppingInvoker invoker;
        TRecordingErrorReport report;
        TFakeLineEvents& events = *platform.Events;
        events.FailAtOnce = failing ? 5 : 0;
        auto thread = TVaCommThread::Create(platform, 100, tpNormal, invoker, report);
        const std::weak_ptr<TVaCommThread> watch = thread;
        const auto eventually = [](auto condition) {  // within ten seconds
            for (int i = 0; i < 2000 && !condition(); ++i)
                std::this_thread::sleep_for(5ms);
            return condition();
        };
        ASSERT_TRUE(eventually([&] { return failing ? events.Waits >= 2 : events.Waits == 1; }));
        if (failing) {
            const int before = events.Waits;
            std::this_thread::sleep_for(500ms);
            EXPECT_LT(events.Waits - before, 11);
        }
        thread->Stop();
        thread.reset();
        EXPECT_TRUE(eventually([&] { return watch.expired(); })) << "the thread outlived its stop";
    }
}

}  // namespace
}  // namespace ziv::test
