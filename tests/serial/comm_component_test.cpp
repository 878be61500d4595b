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
    com.Open();
    EXPECT_EQ(TakeCalls(),
              (Names{"CreateFile", "GetCommState", "SetCommState", "SetHangUpOnClose",
                     "SetCommTimeouts", "SetupComm", "SetCommMask", "CreateEventWait"}));
    EXPECT_EQ(platform.OpenedNames, Names{"COM3"});
    ASSERT_EQ(platform.WrittenDCBs.size(), 1u);
    const TDCB& dcb = platform.WrittenDCBs[0];
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_EQ(dcb.Flags, 0x301u);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    // What the component does not set is kept as read.
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.wReserved, 7);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(platform.WrittenTimeouts.at(0), (TCommTimeouts{MAXDWORD, 0, 0, 0, 0}));
    EXPECT_EQ(platform.InQueue, 4096u);
    EXPECT_EQ(platform.OutQueue, 2048u);
    EXPECT_TRUE(platform.Calls.empty());
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

TEST_F(CommComponent, DefaultsGive0x311AndCloseLowersDtrThenRts) {
    TVaComm plain{platform, invoker, report};
    plain.SetPortNum(1);
    plain.Open();
    EXPECT_EQ(platform.WrittenDCBs.at(0).Flags, 0x311u);
    platform.Calls.clear();
    plain.Close();
    EXPECT_EQ(platform.CallNames(), (Names{"PurgeComm", "CLRDTR", "CLRRTS", "CloseHandle"}));
    EXPECT_EQ(platform.Calls[0].arg, 0x0Fu);
}

TEST_F(CommComponent, FlagsWordFollowsFlowControlPositionAndOptions) {
    struct Row {
        TVaFlowControl flow;
        bool dtr, rts;
        TVaCommOptions options;
        std::uint32_t flags;
    };
    const Row rows[] = {
        {fcNone, true, true, {}, 0x1011},
        {fcDtrDsr, true, true, {}, 0x3005},
        {fcXonXoff, true, true, {}, 0x1039},
        {fcRtsCts, false, false, {coContinueOnXOff, coErrorChar}, 0x781},
        {fcNone, false, false, {coNullStrip, coParityCheck, coDsrSensitivity}, 0x843},
    };
    com.Open();
    for (const Row& row : rows) {
        com.SetFlowControl(row.flow);
        com.SetDTREnable(row.dtr);
        com.SetRTSEnable(row.rts);
        com.SetOptions(row.options);
        EXPECT_EQ(platform.DeviceDCB.Flags, row.flags) << int(row.flow);
    }
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
    com.Open();
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
    EXPECT_EQ(TakeCalls(), (Names{"PurgeComm", "CLRDTR", "CloseHandle"}));
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
    EXPECT_FALSE(CommErrorOf([&] { com.SetReadBufSize(1); }).empty());
    EXPECT_FALSE(CommErrorOf([&] { com.SetWriteBufSize(1); }).empty());
    EXPECT_FALSE(CommErrorOf([&] { com.SetPriority(tpHigher); }).empty());
    EXPECT_FALSE(CommErrorOf([&] { com.SetMonitorEvents({ceData}); }).empty());
    EXPECT_EQ(com.ReadBufSize(), 4096);
    com.SetReadTimeout(5);
    com.SetBaudrate(br1200);
    EXPECT_TRUE(TakeCalls().empty());

    // A line setting is stored, then written; a refused write keeps it.
    com.SetBaudrate(br9600);
    EXPECT_EQ(TakeCalls(), (Names{"GetCommState", "SetCommState"}));
    EXPECT_EQ(platform.DeviceDCB.BaudRate, 9600u);
    platform.FailWith["SetCommState"] = 5;
    EXPECT_EQ(CommErrorOf([&] { com.SetParity(paMark); }),
              "Error writing dcb (5), Access is denied");
    EXPECT_EQ(com.Parity(), paMark);
    EXPECT_EQ(platform.DeviceDCB.Parity, 0);
    platform.FailWith.clear();

    // Closed: stored only, written at the next Open.
    com.Close();
    platform.Calls.clear();
    com.SetStopbits(sb2);
    com.SetXonLim(0x12345);
    com.SetMonitorEvents({ceData, ceBreak});
    EXPECT_TRUE(TakeCalls().empty());
    com.Open();
    EXPECT_EQ(platform.DeviceDCB.StopBits, 2);
    EXPECT_EQ(platform.DeviceDCB.XonLim, 0x2345);
    EXPECT_EQ(platform.Calls[6].name, "SetCommMask");
    EXPECT_EQ(platform.Calls[6].arg, 0x41u);
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

TEST_F(CommComponent, EventCharsAssignIsOneBatch) {
    com.Open();
    platform.WrittenDCBs.clear();
    TVaEventChars same;
    com.SetEventChars(same);
    EXPECT_EQ(platform.WrittenDCBs.size(), 1u);

    TVaEventChars other;
    other.SetXonChar('A');
    other.SetEventChar('\n');
    com.SetEventChars(other);
    EXPECT_EQ(platform.WrittenDCBs.size(), 2u);
    EXPECT_EQ(platform.DeviceDCB.XonChar, 'A');
    EXPECT_EQ(platform.DeviceDCB.EvtChar, '\n');

    com.EventChars().SetErrorChar('?');
    EXPECT_EQ(platform.WrittenDCBs.size(), 3u);
    EXPECT_THROW(com.EventChars().Assign(TVaPersistent{}), EConvertError);
}

TEST_F(CommComponent, LoadingStoresValuesOnly) {
    com.BeginLoading();
    com.Open();
    com.SetBaudrate(br4800);
    EXPECT_TRUE(platform.WrittenDCBs.empty());
    com.Loaded();
    com.SetBaudrate(br2400);
    EXPECT_EQ(platform.DeviceDCB.BaudRate, 2400u);
}

TEST_F(CommComponent, HandleEventDispatchesInOrderThenClients) {
    struct Client : TVaSharedClient {
        Names* log;
        std::string name;
        void ComponentNotify(TVaSharedComponent&, std::uint32_t mask) override {
            log->push_back(name + std::to_string(mask));
        }
    };
    Names log;
    Client first, second;
    first.log = second.log = &log;
    first.name = "first:";
    second.name = "second:";
    com.AttachClient(first);
    second.SetComponent(&com);

    platform.DeviceErrors = 0x10;
    platform.DeviceStat.cbInQue = 42;
    com.SetOnError([&](TObject*, std::uint32_t e) { log.push_back("error" + std::to_string(e)); });
    com.SetOnData([&](TObject*, std::int32_t n) { log.push_back("data" + std::to_string(n)); });
    com.SetOnBreak([&](TObject*) { log.push_back("break"); });
    com.SetOnCts([&](TObject*) { log.push_back("cts"); });
    com.Open();
    com.HandleEvent(nullptr, EV_BREAK | EV_RXCHAR | EV_ERR | EV_RING);
    EXPECT_EQ(log, (Names{"error16", "data42", "break", "first:449", "second:449"}));

    platform.FailWith["ClearCommError"] = 5;
    EXPECT_EQ(CommErrorOf([&] { com.HandleEvent(nullptr, EV_CTS); }),
              "Error retrieving statistics (5), Access is denied");

    {
        TVaComm gone{platform, invoker, report};
        first.SetComponent(&gone);
        EXPECT_EQ(com.Clients().size(), 1u);
    }
    EXPECT_EQ(first.Component(), nullptr);
}

}  // namespace
}  // namespace ziv::test
