#include <gtest/gtest.h>

#include "comm_test_support.h"
#include "serial/comm_error.h"

namespace ziv::test {
namespace {

TEST(LineSwitching, ClosedPortIgnoresOpenPortAlwaysCallsDevice) {
    TFakeCommPlatform platform;
    TTestComm com{platform};
    com.SetRTS(true);
    com.SetDTR(false);
    EXPECT_TRUE(platform.Calls.empty());

    com.AttachHandle(7);
    com.SetRTS(true);
    com.SetRTS(true);
    com.SetDTR(false);
    com.SetDTR(false);
    EXPECT_EQ(platform.LineCalls(),
              (std::vector<std::string>{"SETRTS", "SETRTS", "CLRDTR", "CLRDTR"}));
}

TEST(LineSwitching, RefusalCarriesCodeAndTrimmedTextAndReleasesLock) {
    TFakeCommPlatform platform;
    TTestComm com{platform};
    com.AttachHandle(7);
    platform.FailWith["SETDTR"] = 5;
    platform.Texts[5] = "Access is denied.\r\n";
    EXPECT_EQ(CommErrorOf([&] { com.SetDTR(true); }),
              "Error calling comm function (5), Access is denied");

    // The lock was left: another thread can take it.
    bool locked = false;
    std::thread other([&] {
        com.Lock();
        locked = true;
        com.Unlock();
    });
    other.join();
    EXPECT_TRUE(locked);
}

TEST(LineSwitching, PlatformTextTrimming) {
    EXPECT_EQ(TrimPlatformErrorText("The handle is invalid. \r\n"), "The handle is invalid");
    EXPECT_EQ(TrimPlatformErrorText("..."), "");
    EXPECT_EQ(TrimPlatformErrorText(std::string(300, 'x')).size(), 255u);
    EXPECT_EQ(FormatCommMessage(" Error setting EventMask (%d), %s", -3, "Bad"),
              " Error setting EventMask (-3), Bad");
}

}  // namespace
}  // namespace ziv::test
