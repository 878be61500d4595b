#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "comm_test_support.h"
#include "serial/comm_platform_posix.h"

namespace ziv::test {
namespace {

// A pseudo-terminal whose slave stands in for a serial port: COM1 is
// mapped to it, COM2 to a path that does not exist.
struct PtyPort : ::testing::Test {
    PtyPort() { NewPty(); }
    ~PtyPort() override { ::close(master); }

    void NewPty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ::grantpt(master);
        ::unlockpt(master);
        slavePath = ::ptsname(master);
    }

    int master = -1;
    std::string slavePath;
    std::vector<std::string> log;
    TPosixCommPlatform platform{
        [this](const std::string& name) {
            return name == "COM1" ? slavePath : name == "COM2" ? "/nonexistent/ttyZ9" : "";
        },
        [this](const std::string& line) { log.push_back(line); }};
};

TEST(DefaultPortPath, BuiltInPortsCountFromZero) {
    EXPECT_EQ(DefaultPortPath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DefaultPortPath("COM12"), "/dev/ttyS11");
    for (const char* bad : {"COM0", "COM", "COM1a", "LPT1", "COM-1", ""})
        EXPECT_EQ(DefaultPortPath(bad), "") << bad;
}

TEST_F(PtyPort, ExclusiveOpenAndReopenAfterClose) {
    TCommHandle first = INVALID_HANDLE_VALUE, second = INVALID_HANDLE_VALUE;
    ASSERT_EQ(platform.CreateFile("COM1", first), 0);
    EXPECT_EQ(platform.CreateFile("COM1", second), EBUSY);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(slavePath), std::string::npos);
    EXPECT_NE(log[0].find("in use"), std::string::npos);

    EXPECT_EQ(platform.CreateFile("COM2", second), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.CreateFile("COM7", second), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(platform.CloseHandle(first), 0);
    ASSERT_EQ(platform.CreateFile("COM1", first), 0);
    EXPECT_EQ(platform.CloseHandle(first), 0);
}

TEST_F(PtyPort, LineSettingsWrittenAndReadBack) {
    TCommHandle h = INVALID_HANDLE_VALUE;
    ASSERT_EQ(platform.CreateFile("COM1", h), 0);

    // The keyer's record: the pty has no modem lines to lower, which is
    // no failure of the settings.
    TDCB keyer;
    keyer.BaudRate = 1200;
    keyer.ByteSize = 8;
    keyer.Flags = 0x301;
    ASSERT_EQ(platform.SetCommState(h, keyer), 0);
    TDCB back;
    ASSERT_EQ(platform.GetCommState(h, back), 0);
    EXPECT_EQ(back, keyer);

    // Refused, and nothing changes: what termios cannot express, and a
    // framing the device did not take (the pty driver always keeps eight
    // data bits without parity), found by reading it back.
    TDCB bad = keyer;
    bad.Flags |= DCB_fOutxDsrFlow;
    EXPECT_EQ(platform.SetCommState(h, bad), EINVAL);
    bad = keyer;
    bad.BaudRate = 9600;
    bad.ByteSize = 7;
    bad.Parity = 3;
    EXPECT_EQ(platform.SetCommState(h, bad), EINVAL);
    ASSERT_EQ(platform.GetCommState(h, back), 0);
    EXPECT_EQ(back, keyer);

    // Queues: what the far end sent waits in the input queue until purged.
    ASSERT_EQ(::write(master, "abc", 3), 3);
    std::uint32_t errors = 1;
    TComStat stat;
    for (int i = 0; i < 100 && stat.cbInQue < 3; ++i) {
        ASSERT_EQ(platform.ClearCommError(h, errors, stat), 0);
        if (stat.cbInQue < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(stat.cbInQue, 3u);
    EXPECT_EQ(errors, 0u);
    ASSERT_EQ(platform.PurgeComm(h, 0x0F), 0);
    ASSERT_EQ(platform.ClearCommError(h, errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 0u);

    EXPECT_EQ(platform.SetCommMask(h, 0), 0);
    EXPECT_EQ(platform.SetCommMask(h, EV_RXCHAR), EINVAL);
    EXPECT_EQ(platform.EscapeCommFunction(h, SETRTS), ENOTTY);
    EXPECT_EQ(platform.CloseHandle(h), 0);
}

TEST_F(PtyPort, EventWaitSleepsUntilWoken) {
    auto wait = platform.CreateEventWait(0);
    TVaSimpleEvent wake;
    std::uint32_t mask = 99;
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = wait->Wait(mask, wake.Handle()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(result.load(), -1);
    wake.SetEvent();
    waiter.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(mask, 0u);
}

TEST_F(PtyPort, ComponentOpensKeysAndClosesThePty) {
    TTestComm com{platform};
    com.SetDTREnable(false);
    com.SetRTSEnable(false);
    com.SetPortNum(1);
    com.Open();
    ASSERT_TRUE(com.Active());

    // The pty has no RTS line: the platform's refusal, not a crash.
    EXPECT_EQ(CommErrorOf([&] { com.SetRTS(true); }),
              "Error calling comm function (25), Inappropriate ioctl for device");

    TTestComm second{platform};
    second.SetPortNum(1);
    EXPECT_EQ(CommErrorOf([&] { second.Open(); }), "Can't open device COM1");
    second.SetPortNum(2);
    EXPECT_EQ(CommErrorOf([&] { second.Open(); }), "Invalid port number (COM2)");

    com.Close();
    EXPECT_FALSE(com.Active());
}

// An unplugged USB adapter hangs its terminal up: every call on it fails
// from then on. Closing must still let go of the device, or the port could
// not be opened again once the adapter is back.
TEST_F(PtyPort, ClosingAPortWhoseDeviceWentAway) {
    TTestComm com{platform};
    com.SetDTREnable(false);
    com.SetRTSEnable(false);
    com.SetPortNum(1);
    com.Open();
    ASSERT_TRUE(com.Active());
    const int fd = static_cast<int>(com.Handle());

    ::close(master);  // the pty's slave is hung up, as an unplugged adapter is
    master = -1;
    EXPECT_EQ(CommErrorOf([&] { com.Close(); }), "");
    EXPECT_FALSE(com.Active());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);

    // The adapter is back (here: a new pty) and the port opens again.
    NewPty();
    com.Open();
    EXPECT_TRUE(com.Active());
    com.Close();

    // A purge refused by a device that is still there is reported.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    EXPECT_EQ(platform.PurgeComm(pipeFds[0], PURGE_TXCLEAR | PURGE_RXCLEAR), ENOTTY);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

}  // namespace
}  // namespace ziv::test
