#pragma once

#include <gtest/gtest.h>

#include <string>

#include "mock/fake_comm_platform.h"
#include "serial/comm.h"

namespace ziv::test {

// The message of the EVaCommError that `action` raises ("" if none).
template <typename F>
std::string CommErrorOf(F&& action) {
    try {
        action();
    } catch (const EVaCommError& error) {
        return error.what();
    }
    return {};
}

// A port component on the fake platform, set up as the main window sets
// up its own: DTR and RTS control disabled, port 3.
struct FakePortFixture : ::testing::Test {
    FakePortFixture() {
        platform.Texts[5] = "Access is denied.\r\n";
        platform.DeviceDCB.DCBlength = 28;
        platform.DeviceDCB.wReserved = 7;
        platform.DeviceDCB.EofChar = 0x1A;
        platform.DeviceDCB.Flags = 0xFFFFFFFF;  // nothing of it may survive
        com.SetDTREnable(false);
        com.SetRTSEnable(false);
        com.SetPortNum(3);
    }

    TFakeCommPlatform platform;
    TDroppingInvoker invoker;
    TRecordingErrorReport report;
    TVaComm com{platform, invoker, report};
};

}  // namespace ziv::test
