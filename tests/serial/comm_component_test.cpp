#include <gtest/gtest.h>

#include <thread>

#include "comm_test_support.h"

namespace ziv::test {
namespace {

using Names = std::vector<std::string>;

// A port component on the fake platform, set up as the program sets up its
// own: DTR and RTS control disabled, port 3.
struct CommComponent : ::testing::Test {
    CommComponent() {
        platform.Texts[5] = "Access is denied.\r\n";
        platform.DeviceDCB.DCBlength = 28;
        platform.DeviceDCB.wReserved = 7;
        platform.DeviceDCB.EofChar = 0x1A;
        platform.DeviceDCB.Flags = 0xFFFFFFFF;  // nothing of it may survive
        com.SetDTREnable(false);
        com.SetRTSEnable(false);
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
    EXPECT_EQ(TakeCalls(),
              // The line the settings leave low is dropped first of all.
              (Names{"CreateFile", "CLRDTR", "GetCommState", "SetCommState", "SetHangUpOnClose",
                     "SetCommTimeouts", "SetupComm", "SetCommMask", "CreateEventWait"}));
    EXPECT_TRUE(com.Active());

    com.Close();
    // Both control fields disabled: the lines are not touched.
    EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CloseHandle"}));
    EXPECT_FALSE(com.Active());
    com.Close();
    EXPECT_TRUE(TakeCalls().empty());
}

// An Inverted PTT idles high: the level asked of the closed port goes into
// the settings written at open, so the line never drops (keys) on the way;
// a later open starts from both lines low again.
TEST_F(CommComponent, LineAskedHighOfAClosedPortOpensHigh) {
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

// Whether the lines drop at close is set at every open, and at once on an
// open port: an Inverted line must stay at its idle level after the end.
TEST_F(CommComponent, HangUpOnCloseFollowsTheSettingOpenOrClosed) {
    com.SetHangUpOnClose(false);
    EXPECT_TRUE(TakeCalls().empty());
    com.Open();
    EXPECT_EQ(platform.CallsNamed("SetHangUpOnClose").at(0).arg, 0u);
    platform.Calls.clear();
    com.SetHangUpOnClose(false);
    EXPECT_TRUE(TakeCalls().empty());
    com.SetHangUpOnClose(true);
    ASSERT_EQ(platform.Calls.size(), 1u);
    EXPECT_EQ(platform.Calls[0].arg, 1u);
    platform.FailWith["SetHangUpOnClose"] = 5;
    EXPECT_THROW(com.SetHangUpOnClose(false), EVaCommError);
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
        EXPECT_EQ(CommErrorOf([&] { com.Open(); }), message);
        EXPECT_TRUE(com.Active()) << call;
        EXPECT_EQ(platform.CallNames().back(), call);
        EXPECT_EQ(CommErrorOf([&] { com.Open(); }),
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
    EXPECT_EQ(CommErrorOf([&] { com.Close(); }), "Error clearing buffers (5), Access is denied");
    EXPECT_TRUE(com.Active());
    platform.FailWith = {{"CLRDTR", 5}};
    EXPECT_EQ(CommErrorOf([&] { com.Close(); }),
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
        platform.FailWith["CLRDTR"] = 5;
    }
    EXPECT_EQ(platform.CallNames().back(), "CloseHandle");
}

// A refused line switch says why, and leaves the lock it took.
TEST(LineSwitching, RefusalCarriesCodeAndTrimmedTextAndReleasesTheLock) {
    TFakeCommPlatform platform;
    TTestComm com{platform};
    com.AttachHandle(7);
    platform.FailWith["SETDTR"] = 5;
    platform.Texts[5] = "Access is denied.\r\n";
    EXPECT_EQ(CommErrorOf([&] { com.SetDTR(true); }),
              "Error calling comm function (5), Access is denied");
    std::thread([&] {
        com.Lock();
        com.Unlock();
    }).join();
}

}  // namespace
}  // namespace ziv::test
