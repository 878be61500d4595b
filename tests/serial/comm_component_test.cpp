#include <gtest/gtest.h>

#include "comm_test_support.h"

namespace ziv::test {
namespace {

using Names = std::vector<std::string>;

struct CommComponent : FakePortFixture {
    int opens = 0, closes = 0;
    CommComponent() {
        com.SetOnOpen([&](TObject* sender) {
            EXPECT_EQ(sender, &com);
            ++opens;
        });
        com.SetOnClose([&](TObject*) { ++closes; });
    }
    // The calls made since the last look.
    Names TakeCalls() {
        Names names = platform.CallNames();
        platform.Calls.clear();
        return names;
    }
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
    EXPECT_EQ(TakeCalls(),
              (Names{"CreateFile", "GetCommState", "SetCommState", "SetHangUpOnClose",
                     "SetCommTimeouts", "SetupComm", "SetCommMask", "CreateEventWait"}));
    EXPECT_TRUE(com.Active());
    EXPECT_EQ(opens, 1);

    com.Close();
    // Both control fields disabled: the lines are not touched.
    EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CloseHandle"}));
    EXPECT_FALSE(com.Active());
    EXPECT_EQ(closes, 1);
    com.Close();
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(closes, 1);
}

// An Inverted PTT idles high: the settings written at open must not drop
// it, and a later open starts from both lines low again.
TEST_F(CommComponent, LineAskedHighOfAClosedPortOpensHighUntilClosed) {
    com.SetDTR(true);
    EXPECT_TRUE(TakeCalls().empty());
    com.Open();
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x311u);
    com.SetDTR(false);
    com.SetRTS(true);
    com.SetBaudrate(br9600);
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x1301u);
    com.Close();
    com.SetBaudrate(br1200);
    com.Open();
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x301u);
}

TEST_F(CommComponent, FailedOpenOfTheDevice) {
    platform.FailWith["CreateFile"] = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(CommErrorOf([&] { com.Open(); }), "Invalid port number (COM3)");
    platform.FailWith["CreateFile"] = 5;
    EXPECT_EQ(CommErrorOf([&] { com.Open(); }), "Can't open device COM3");
    com.SetPortNum(0);  // no range check: tried like any other
    EXPECT_EQ(CommErrorOf([&] { com.Open(); }), "Can't open device COM0");
    EXPECT_EQ(platform.OpenedNames, (Names{"COM3", "COM3", "COM0"}));
    EXPECT_FALSE(com.Active());
    EXPECT_EQ(TakeCalls(), (Names{"CreateFile", "CreateFile", "CreateFile"}));
    EXPECT_EQ(opens, 0);
}

TEST_F(CommComponent, FailureAfterTheDeviceIsOpenLeavesItOpenWithoutThread) {
    const std::pair<std::string, std::string> steps[] = {
        {"GetCommState", "Error reading dcb (5), Access is denied"},
        {"SetCommState", "Error writing dcb (5), Access is denied"},
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
        // The lines still switch.
        com.SetRTS(true);
        platform.Calls.clear();
        com.Close();
        EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CloseHandle"}));
    }
    EXPECT_EQ(opens, 0);
}

TEST_F(CommComponent, FailedCloseKeepsDeviceOpenAndRepeats) {
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
    EXPECT_EQ(closes, 0);
    platform.FailWith.clear();
    platform.Calls.clear();
    com.Close();
    EXPECT_EQ(platform.Calls.at(0).arg,
              PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CLRDTR", "CLRRTS", "CloseHandle"}));
    EXPECT_EQ(closes, 1);
}

TEST_F(CommComponent, DestructorClosesWithoutOnCloseAndLetsGoOnFailure) {
    {
        TVaComm other{platform, invoker, report};
        other.SetOnClose([&](TObject*) { ++closes; });
        other.Open();
        platform.FailWith["CLRDTR"] = 5;
    }
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(platform.CallNames().back(), "CloseHandle");
}

TEST_F(CommComponent, SetterRules) {
    com.Open();
    platform.Calls.clear();
    // Refused while open, unless equal.
    com.SetPortNum(3);
    EXPECT_EQ(CommErrorOf([&] { com.SetPortNum(4); }),
              "Can't perform this operation when port is open");
    EXPECT_EQ(com.PortNum(), 3);
    com.SetDTREnable(false);
    EXPECT_TRUE(TakeCalls().empty());

    // A line setting is stored, then written; a refused write keeps it.
    com.SetDTREnable(true);
    EXPECT_EQ(TakeCalls(), (Names{"GetCommState", "SetCommState"}));
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x311u);
    platform.FailWith["SetCommState"] = 5;
    EXPECT_EQ(CommErrorOf([&] { com.SetDTREnable(false); }),
              "Error writing dcb (5), Access is denied");
    EXPECT_FALSE(com.DTREnable());
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x311u);
    platform.FailWith.clear();

    // Closed: stored only, written at the next Open.
    com.Close();
    platform.Calls.clear();
    com.SetDTREnable(true);
    com.SetPortNum(4);
    EXPECT_TRUE(TakeCalls().empty());
    com.Open();
    EXPECT_EQ(platform.OpenedNames.back(), "COM4");
    EXPECT_EQ(platform.DeviceDCB.Flags, 0x311u);
}

// Whether the lines drop at close is set at every open, and at once on an
// open port; a refusal is the component's error.
TEST_F(CommComponent, HangUpOnCloseFollowsTheSettingOpenOrClosed) {
    com.SetHangUpOnClose(false);
    EXPECT_TRUE(TakeCalls().empty());
    com.Open();
    ASSERT_EQ(platform.Calls.at(3).name, "SetHangUpOnClose");
    EXPECT_EQ(platform.Calls.at(3).arg, 0u);
    platform.Calls.clear();
    com.SetHangUpOnClose(false);
    EXPECT_TRUE(TakeCalls().empty());
    com.SetHangUpOnClose(true);
    ASSERT_EQ(platform.Calls.size(), 1u);
    EXPECT_EQ(platform.Calls[0].arg, 1u);
    platform.FailWith["SetHangUpOnClose"] = 5;
    EXPECT_THROW(com.SetHangUpOnClose(false), EVaCommError);
}

// A line event reads the device's state, then tells the handlers in a
// fixed order and the clients last.
TEST_F(CommComponent, HandleEventDispatchesInOrderThenClients) {
    Names log;
    struct Client : TVaSharedClient {
        Names* log;
        void ComponentNotify(TVaSharedComponent&, std::uint32_t mask) override {
            log->push_back("client" + std::to_string(mask));
        }
    } client;
    client.log = &log;
    com.AttachClient(client);
    platform.DeviceErrors = 0x10;
    platform.DeviceStat.cbInQue = 42;
    com.SetOnError([&](TObject*, std::uint32_t e) { log.push_back("error" + std::to_string(e)); });
    com.SetOnData([&](TObject*, std::int32_t n) { log.push_back("data" + std::to_string(n)); });
    com.SetOnBreak([&](TObject*) { log.push_back("break"); });
    com.SetOnCts([&](TObject*) { log.push_back("cts"); });
    com.Open();
    com.HandleEvent(nullptr, EV_BREAK | EV_RXCHAR | EV_ERR | EV_RING);
    EXPECT_EQ(log, (Names{"error16", "data42", "break", "client449"}));

    platform.FailWith["ClearCommError"] = 5;
    EXPECT_EQ(CommErrorOf([&] { com.HandleEvent(nullptr, EV_CTS); }),
              "Error retrieving statistics (5), Access is denied");
}

}  // namespace
}  // namespace ziv::test
