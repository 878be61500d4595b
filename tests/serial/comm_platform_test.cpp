#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "mock/fake_comm_platform.h"
#include "serial/comm_error.h"
#include "serial/sync_objects.h"
#include "settings/settings_test_support.h"

namespace ziv::test {
// Taken before <windows.h> makes the name its own macro.
constexpr TCommHandle kNoHandle = INVALID_HANDLE_VALUE;
}  // namespace ziv::test

#ifdef _WIN32
#include "serial/comm_dcb_win32.h"
#include "serial/comm_platform_win32.h"

#include "base/windows_api.h"
// The platform's method of this name is meant below.
#undef CreateFile
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "serial/comm_platform_posix.h"
#include "serial/comm_termios.h"
#endif

// The serial platform, one contract for both systems: the POSIX calls on a
// pseudo-terminal of the test's own, and the Win32 calls under Wine on
// COM13, a pseudo-terminal that pty_port.py holds. A pty is a serial port
// without modem lines.

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct CommPlatform : ::testing::Test {
#ifdef _WIN32
    static constexpr int kPtyPort = 13;
    // Wine shares nothing of a regular file opened without sharing, but
    // lets a pty be opened twice.
    static constexpr int kExclusivePort = 12;
    static constexpr int kNoModemLines = ERROR_NOT_SUPPORTED;

    std::vector<std::string> log;
    TWin32CommPlatform platform{[this](const std::string& line) { log.push_back(line); }};
#else
    static constexpr int kPtyPort = 1;
    static constexpr int kExclusivePort = kPtyPort;
    static constexpr int kNoModemLines = ENOTTY;

    CommPlatform() {
        NewPty();
    }
    ~CommPlatform() override {
        ::close(master);
    }
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
    // COM2 names a device that is not there.
    TPosixCommPlatform platform{
        [this](const std::string& name) {
            return name == "COM1" ? slavePath : name == "COM2" ? "/nonexistent/ttyZ9" : "";
        },
        [this](const std::string& line) { log.push_back(line); }};
#endif

    const std::string ptyName = "COM" + std::to_string(kPtyPort);

    // One wait of the event thread's kind, woken after wakeAfter unless it
    // ended before; its result and how long it took.
    static std::pair<int, Clock::duration> WaitOnce(TCommHandle device, TCommPlatform& platform,
                                                    std::chrono::milliseconds wakeAfter) {
        TVaSimpleEvent wake;
        auto wait = platform.CreateEventWait(device);
        std::atomic<bool> over{false};
        std::thread waker([&] {
            for (const auto until = Clock::now() + wakeAfter; !over && Clock::now() < until;)
                std::this_thread::sleep_for(5ms);
            wake.SetEvent();
        });
        std::uint32_t mask = 0xFFFF;
        const auto start = Clock::now();
        const int result = wait->Wait(mask, wake.Handle());
        const auto took = Clock::now() - start;
        over = true;
        waker.join();
        EXPECT_EQ(mask, 0u);
        return {result, took};
    }
};

TEST_F(CommPlatform, OpenIsExclusiveAndAMissingPortIsNamed) {
    const std::string name = "COM" + std::to_string(kExclusivePort);
    TCommHandle first = kNoHandle, second = kNoHandle;
    ASSERT_EQ(platform.CreateFile(name, first), 0) << (log.empty() ? "" : log.back());
    EXPECT_NE(platform.CreateFile(name, second), 0);
    EXPECT_EQ(second, kNoHandle);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind(name + " (", 0), 0u) << log[0];
    EXPECT_NE(log[0].find("in use by another program"), std::string::npos) << log[0];
    TTestComm busy{platform};
    busy.SetPortNum(kExclusivePort);
    EXPECT_EQ(ErrorText<EVaCommError>([&] { busy.Open(); }), "Can't open device " + name);

    // Let go of at close: the port opens again.
    EXPECT_EQ(platform.CloseHandle(first), 0);
    ASSERT_EQ(platform.CreateFile(name, first), 0);
    EXPECT_EQ(platform.CloseHandle(first), 0);

    log.clear();
    EXPECT_EQ(platform.CreateFile("COM9", second), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("COM9", 0), 0u) << log[0];
    TTestComm missing{platform};
    missing.SetPortNum(9);
    EXPECT_EQ(ErrorText<EVaCommError>([&] { missing.Open(); }), "Invalid port number (COM9)");
    EXPECT_FALSE(missing.Active());
#ifndef _WIN32
    EXPECT_EQ(platform.CreateFile("COM2", second), ERROR_FILE_NOT_FOUND);
#endif
}

// What the component writes at open reaches the device and comes back; the
// queues are purged at close; the keyer's port asks for no line events, and
// its event thread's wait sleeps until it is woken.
TEST_F(CommPlatform, LineSettingsReachTheDeviceAndTheEventWaitSleeps) {
    TCommHandle h = kNoHandle;
    ASSERT_EQ(platform.CreateFile(ptyName, h), 0);
    TDCB keyer;
    ASSERT_EQ(platform.GetCommState(h, keyer), 0);
    keyer.BaudRate = 9600;
    keyer.ByteSize = 8;
    keyer.Parity = 0;
    keyer.StopBits = 0;
    keyer.Flags = DCB_fBinary | DCB_fOutX | DCB_fInX;
    ASSERT_EQ(platform.SetCommState(h, keyer), 0);
    TDCB back;
    ASSERT_EQ(platform.GetCommState(h, back), 0);
    EXPECT_EQ(back.BaudRate, 9600u);
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.Flags & (DCB_fOutX | DCB_fInX | DCB_fOutxCtsFlow), DCB_fOutX | DCB_fInX);
#ifndef _WIN32
    // What termios does not hold comes back as written. Refused, and
    // nothing changes: what termios cannot express, and a framing the
    // device did not take (a pty keeps eight data bits without parity).
    EXPECT_EQ(back, keyer);
    TDCB bad = keyer;
    bad.Flags |= DCB_fOutxDsrFlow;
    EXPECT_EQ(platform.SetCommState(h, bad), EINVAL);
    bad = keyer;
    bad.ByteSize = 7;
    bad.Parity = 3;
    EXPECT_EQ(platform.SetCommState(h, bad), EINVAL);
    ASSERT_EQ(platform.GetCommState(h, back), 0);
    EXPECT_EQ(back, keyer);
    EXPECT_EQ(platform.SetCommMask(h, EV_RXCHAR), EINVAL);  // no line events here
    // HUPCL: whether the last close drops the lines. An Inverted line idles
    // high and must stay there when the program ends.
    for (const bool drop : {false, true, false}) {
        ASSERT_EQ(platform.SetHangUpOnClose(h, drop), 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(static_cast<int>(h), &t), 0);
        EXPECT_EQ((t.c_cflag & HUPCL) != 0, drop);
    }
#endif
    ASSERT_EQ(platform.SetCommMask(h, 0), 0);
    const auto [result, took] = WaitOnce(h, platform, 100ms);
    EXPECT_EQ(result, 0);
    EXPECT_GE(took, 90ms);
    EXPECT_EQ(platform.PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR),
              0);
    EXPECT_EQ(platform.CloseHandle(h), 0);
}

// The pty has no RTS line: the component reports the platform's refusal
// with its code and text, and still opens and closes the port.
TEST_F(CommPlatform, ComponentReportsARefusedLineAndErrorTextsAreLines) {
    TTestComm com{platform};
    com.SetPortNum(kPtyPort);
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Open(); }), "no error");
    ASSERT_TRUE(com.Active());
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.SetRTS(true); }),
              "Error calling comm function (" + std::to_string(kNoModemLines) + "), " +
                  TrimPlatformErrorText(platform.ErrorText(kNoModemLines)));
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Close(); }), "no error");
    EXPECT_FALSE(com.Active());

    std::string seen;
    for (const int code : {int{ERROR_FILE_NOT_FOUND}, kNoModemLines}) {
        const std::string raw = platform.ErrorText(code);
        const std::string text = TrimPlatformErrorText(raw);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << code << ": " << raw;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": " << raw;
        EXPECT_NE(text, seen) << code;
        seen = text;
    }
    EXPECT_EQ(platform.ErrorText(0x2FFFFFFF), "Unknown error " + std::to_string(0x2FFFFFFF));
}

#ifdef _WIN32
// On a device that is no serial port (COM12, a regular file) the event
// thread's wait fails rather than sleep until it is woken.
TEST_F(CommPlatform, EventWaitOnANonSerialDeviceFails) {
    TCommHandle h = kNoHandle;
    ASSERT_EQ(platform.CreateFile("COM12", h), 0);
    EXPECT_NE(WaitOnce(h, platform, 10s).first, 0);
    EXPECT_EQ(platform.CloseHandle(h), 0);
}

// The line levels at open travel in these bit fields.
TEST(Win32Dcb, EveryFieldReachesItsPlaceAndComesBack) {
    for (std::uint32_t bit = 1; bit <= DCB_fAbortOnError; bit <<= 1) {
        TDCB in;
        in.Flags = bit;
        const DCB out = ToSystemDcb<DCB>(in);
        EXPECT_EQ(FromSystemDcb(out).Flags, bit) << std::hex << bit;
        // The same bit of the system's record, where its bit fields lie.
        std::uint32_t word = 0;
        std::memcpy(&word, reinterpret_cast<const char*>(&out) + offsetof(DCB, BaudRate) + 4,
                    sizeof word);
        EXPECT_EQ(word, bit) << std::hex << bit;
    }
    // The other fields, with characters above 127 (DCB's are signed chars).
    // clang-format off
    const TDCB full{sizeof(DCB), 256000, 0xFFFFFFFF, 7, 1024, 512, 7, 4, 2, 0x11, 0x13, 0xFF,
                    0x1A, 0x80, 3};
    // clang-format on
    const DCB system = ToSystemDcb<DCB>(full);
    EXPECT_EQ(static_cast<unsigned char>(system.EvtChar), 0x80);
    EXPECT_EQ(FromSystemDcb(system), full);
}
#else
// The records the component writes (the keyer's framing, each control
// line off or held at its idle level) give their plans, and a plan written
// over any earlier settings reads back as the record that made it; what
// termios cannot do is refused.
TEST(TermiosPlan, RecordsTranslateReadBackOrAreRefused) {
    const auto record = [](std::uint32_t rate, std::uint32_t flags) {
        TDCB dcb;
        dcb.BaudRate = rate;
        dcb.ByteSize = 8;
        dcb.Flags = DCB_fBinary | flags;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        return dcb;
    };
    constexpr std::uint32_t xon = DCB_fOutX | DCB_fInX;
    constexpr std::uint32_t dtrOn = DTR_CONTROL_ENABLE << DCB_fDtrControlShift;
    constexpr std::uint32_t rtsOn = RTS_CONTROL_ENABLE << DCB_fRtsControlShift;
    const TTermiosPlan keyer{B1200, CS8, IXON | IXOFF, 0x11, 0x13, false, false};
    TTermiosPlan dtrHigh = keyer, rtsHigh = keyer;
    dtrHigh.dtrHigh = true;
    rtsHigh.rtsHigh = true;
    const std::pair<TDCB, std::optional<TTermiosPlan> > rows[] = {
        {record(1200, xon), keyer},
        {record(1200, xon | dtrOn), dtrHigh},
        {record(1200, xon | rtsOn), rtsHigh},
        {record(14400, 0), std::nullopt},
        {record(1200, DCB_fOutxDsrFlow), std::nullopt},
        {record(1200, RTS_CONTROL_TOGGLE << DCB_fRtsControlShift), std::nullopt},
    };
    termios busy{};
    busy.c_iflag = busy.c_oflag = busy.c_cflag = busy.c_lflag = ~tcflag_t{0};
    for (const auto& [dcb, expected] : rows) {
        const std::optional<TTermiosPlan> plan = PlanTermios(dcb);
        EXPECT_EQ(plan, expected) << std::hex << dcb.Flags;
        // Only what termios does not hold is remembered.
        TDCB remembered;
        remembered.Flags = dcb.Flags & (DCB_fDtrControlMask | DCB_fRtsControlMask);
        if (plan) {
            EXPECT_EQ(DCBFromTermios(ApplyTermiosPlan(*plan, busy), remembered), dcb);
        }
    }
}

TEST(DefaultPortPath, BuiltInPortsCountFromZero) {
    EXPECT_EQ(DefaultPortPath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DefaultPortPath("COM12"), "/dev/ttyS11");
    for (const char* bad : {"COM0", "COM", "COM1a", "LPT1", "COM-1", ""})
        EXPECT_EQ(DefaultPortPath(bad), "") << bad;
}

// An unplugged USB adapter hangs its terminal up: every call on it fails
// from then on. Closing must still let go of the device, or the port could
// not be opened again once the adapter is back.
TEST_F(CommPlatform, ClosingAPortWhoseDeviceWentAway) {
    TTestComm com{platform};
    com.SetPortNum(kPtyPort);
    com.Open();
    ASSERT_TRUE(com.Active());
    const int fd = static_cast<int>(com.Handle());
    struct stat device {};
    ASSERT_EQ(::fstat(fd, &device), 0);

    ::close(master);
    master = -1;
    EXPECT_EQ(ErrorText<EVaCommError>([&] { com.Close(); }), "no error");
    EXPECT_FALSE(com.Active());
    // Closed, or its number already taken by another file of the process.
    struct stat now {};
    EXPECT_TRUE(::fstat(fd, &now) != 0 || now.st_ino != device.st_ino ||
                now.st_dev != device.st_dev);

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
#endif

}  // namespace
}  // namespace ziv::test
