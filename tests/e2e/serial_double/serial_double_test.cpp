// The serial device double on its own: that what it logs is what a real
// port would show for the keyer's own calls, so that the end-to-end tests
// are not misled. This binary runs with the double preloaded (see
// CMakeLists.txt); the harness's device state and log reader are linked in
// directly, as the end-to-end harness uses them.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device_state.h"
#include "e2e/harness/line_log.h"
#include "serial/comm_platform_posix.h"

namespace ziv::e2e {
namespace {

constexpr int kPortFlags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

class SerialDouble : public ::testing::Test {
protected:
    void SetUp() override {
        // Without the double every expectation below fails for one reason.
        Dl_info info{};
        void* isattyFn = ::dlsym(RTLD_DEFAULT, "isatty");
        ASSERT_TRUE(isattyFn && ::dladdr(isattyFn, &info) && info.dli_fname &&
                    std::strstr(info.dli_fname, "ziv_serial_double"))
            << "run with LD_PRELOAD=<path of libziv_serial_double.so>";
        char pattern[] = "/tmp/ziv_serial_double_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        device_ = dir_ + "/ttyZIV0";
        other_ = dir_ + "/ttyZIV1";
        log_ = dir_ + "/lines.log";
        ASSERT_TRUE(ResetDevice(device_) && ResetDevice(other_));
        ::setenv("ZIV_SERIAL_DOUBLE_DEVICES", (device_ + ":" + other_).c_str(), 1);
        ::setenv("ZIV_SERIAL_DOUBLE_LOG", log_.c_str(), 1);
        ::unsetenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
    }

    void TearDown() override {
        ::unsetenv("ZIV_SERIAL_DOUBLE_DEVICES");
        ::unsetenv("ZIV_SERIAL_DOUBLE_LOG");
        ::unsetenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }

    // A device as new and an empty log, for the next case of a table.
    void Fresh() {
        ASSERT_TRUE(ResetDevice(device_));
        std::filesystem::remove(log_);
    }

    // "event rts dtr" of each logged event of the device, as the harness
    // reads the log.
    std::vector<std::string> Summary() const {
        std::vector<std::string> out;
        for (const TLineEvent& e : EventsOf(ReadLineLog(log_), device_))
            out.push_back(e.event + " " + (e.rts ? "1" : "0") + " " + (e.dtr ? "1" : "0"));
        return out;
    }

    TDeviceLevels Levels() const {
        TDeviceLevels levels;
        EXPECT_TRUE(ReadDevice(device_, levels));
        return levels;
    }

    std::string dir_, device_, other_, log_;
};

using TLog = std::vector<std::string>;

// The keyer's own calls, Normal and Inverted: the open raises both lines,
// the settings with both lines disabled lower them, the key moves its line
// alone, and the last close drops both only with HUPCL.
TEST_F(SerialDouble, KeyerCallsShowTheLevelsARealPortWould) {
    struct TCase {
        const char* name;
        std::vector<std::uint32_t> functions;  // EscapeCommFunction after the settings
        bool hupcl;
        TLog log;
    };
    const TLog opening{"open 1 1", "lines 1 0", "lines 0 0"};
    const TCase cases[] = {
        {"RTS Normal", {SETRTS, CLRRTS}, true, {"lines 1 0", "lines 0 0", "close 0 0"}},
        {"RTS Inverted",
         {SETRTS, CLRRTS, SETRTS},
         false,
         {"lines 1 0", "lines 0 0", "lines 1 0", "close 1 0"}},
        {"DTR Inverted",
         {SETDTR, CLRDTR, SETDTR},
         false,
         {"lines 0 1", "lines 0 0", "lines 0 1", "close 0 1"}},
        {"same level again", {SETDTR, SETDTR, CLRRTS}, true, {"lines 0 1", "close 0 0"}},
    };
    TDCB dcb;
    dcb.BaudRate = 1200;
    dcb.ByteSize = 8;
    dcb.Flags = DCB_fBinary | (DTR_CONTROL_DISABLE << DCB_fDtrControlShift) |
                (RTS_CONTROL_DISABLE << DCB_fRtsControlShift);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Fresh());
        TPosixCommPlatform platform([this](const std::string&) { return device_; },
                                    [](const std::string&) {});
        TCommHandle handle = INVALID_HANDLE_VALUE;
        ASSERT_EQ(platform.CreateFile("COM1", handle), 0);
        ASSERT_EQ(platform.SetCommState(handle, dcb), 0);
        ASSERT_EQ(platform.SetHangUpOnClose(handle, c.hupcl), 0);
        for (std::uint32_t function : c.functions)
            ASSERT_EQ(platform.EscapeCommFunction(handle, function), 0);
        EXPECT_TRUE(Levels().exclusive);
        ASSERT_EQ(platform.CloseHandle(handle), 0);
        EXPECT_EQ(Levels().opens, 0);
        EXPECT_FALSE(Levels().exclusive);
        TLog expected = opening;
        expected.insert(expected.end(), c.log.begin(), c.log.end());
        EXPECT_EQ(Summary(), expected);
    }
}

// A second copy of the keyer is refused until the first closes; another
// device is not affected.
TEST_F(SerialDouble, ExclusiveOpenRefusesOthersUntilTheLastClose) {
    TPosixCommPlatform platform(
        [this](const std::string& name) { return name == "COM1" ? device_ : other_; });
    TCommHandle first = INVALID_HANDLE_VALUE, second = INVALID_HANDLE_VALUE;
    ASSERT_EQ(platform.CreateFile("COM1", first), 0);
    EXPECT_EQ(platform.CreateFile("COM1", second), EBUSY);
    EXPECT_EQ(::open(device_.c_str(), kPortFlags), -1);
    EXPECT_EQ(errno, EBUSY);
    ASSERT_EQ(platform.CreateFile("COM2", second), 0);
    EXPECT_EQ(platform.CloseHandle(second), 0);

    EXPECT_EQ(platform.CloseHandle(first), 0);
    EXPECT_FALSE(Levels().exclusive);
    ASSERT_EQ(platform.CreateFile("COM1", first), 0);
    EXPECT_EQ(platform.CloseHandle(first), 0);
}

// A process that ends without closing its port: exit() closes it as the
// kernel would; a killed one (here _exit()) holds it until ReapDeadOwners()
// does the kernel's last close, with HUPCL.
TEST_F(SerialDouble, EndedOwnerIsClosedAtExitOrByReap) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "exit()");
        ASSERT_NO_FATAL_FAILURE(Fresh());
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        std::fflush(nullptr);  // or the child's exit() writes it again
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int fd = ::open(device_.c_str(), kPortFlags);
            char c = 0;
            const int status = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 && ::read(go[0], &c, 1) == 1;
            if (killed)
                ::_exit(status ? 0 : 2);
            std::exit(status ? 0 : 2);
        }
        for (int waited = 0; waited < 5000 && Levels().opens == 0; waited += 10)
            ::usleep(10000);
        EXPECT_EQ(ReapDeadOwners(device_, log_), 0) << "reaped while alive";
        ASSERT_EQ(::write(go[1], "x", 1), 1);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ::close(go[0]);
        ::close(go[1]);
        EXPECT_EQ(Levels().opens, killed ? 1 : 0);
        EXPECT_EQ(ReapDeadOwners(device_, log_), killed ? 1 : 0);
        const TDeviceLevels levels = Levels();
        EXPECT_FALSE(levels.opens || levels.rts || levels.dtr || levels.exclusive);
        EXPECT_EQ(Summary(), (TLog{"open 1 1", killed ? "reap 0 0" : "close 0 0"}));
        const std::vector<TLineEvent> events = ReadLineLog(log_);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[1].pid, child);
    }
}

// The adapter pulled after two modem-line calls: every later call fails
// with EIO, poll() shows the hang-up, the keyer can still close the port,
// and the device comes back low, with its settings, at the next open.
TEST_F(SerialDouble, PulledAdapterFailsWithEioAndComesBackLow) {
    ::setenv("ZIV_SERIAL_DOUBLE_EIO_AFTER", "2", 1);
    const int fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    int bits = TIOCM_DTR;
    EXPECT_EQ(::ioctl(fd, TIOCMBIC, &bits), 0);
    EXPECT_FALSE(Levels().hungUp);
    EXPECT_EQ(::ioctl(fd, TIOCMGET, &bits), 0);
    EXPECT_TRUE(Levels().hungUp);

    const std::pair<const char*, std::function<int()>> calls[] = {
        {"TIOCMBIS", [&] { return ::ioctl(fd, TIOCMBIS, &bits); }},
        {"FIONREAD", [&] { return ::ioctl(fd, FIONREAD, &bits); }},
        {"tcgetattr", [&] { return ::tcgetattr(fd, &t); }},
        {"tcsetattr", [&] { return ::tcsetattr(fd, TCSANOW, &t); }},
        {"tcflush", [&] { return ::tcflush(fd, TCIOFLUSH); }},
        {"open", [&] { return ::open(device_.c_str(), kPortFlags); }},
    };
    for (const auto& [name, call] : calls) {
        errno = 0;
        EXPECT_EQ(call(), -1) << name;
        EXPECT_EQ(errno, EIO) << name;
    }
    EXPECT_EQ(::isatty(fd), 0);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pollfd pfds[2] = {{fd, 0, 0}, {pipeFds[0], POLLIN, 0}};
    EXPECT_EQ(::poll(pfds, 2, 1000), 1);
    EXPECT_EQ(pfds[0].revents, POLLHUP | POLLERR);
    EXPECT_EQ(pfds[1].revents, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    // What the keyer's close does: its purge takes the hang-up as done.
    TPosixCommPlatform platform;
    EXPECT_EQ(platform.PurgeComm(fd, PURGE_TXCLEAR | PURGE_RXCLEAR), 0);
    EXPECT_EQ(platform.CloseHandle(fd), 0);

    ::unsetenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
    const TDeviceLevels levels = Levels();
    EXPECT_FALSE(levels.hungUp || levels.rts || levels.dtr || levels.opens);
    const int again = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(again, 0);
    ASSERT_EQ(::tcgetattr(again, &t), 0);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    pollfd pfd{again, 0, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    EXPECT_EQ(::close(again), 0);
    EXPECT_EQ(Summary(),
              (TLog{"open 1 1", "lines 1 0", "hangup 1 0", "close 0 0", "open 1 1", "close 1 1"}));
}

}  // namespace
}  // namespace ziv::e2e
