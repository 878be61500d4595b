// The serial device double on its own. This binary runs with the double
// preloaded (see CMakeLists.txt); the harness functions of device_state.h
// are linked in directly, as the end-to-end harness uses them.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device_state.h"
#include "serial/comm_platform_posix.h"

namespace ziv::e2e {
namespace {

constexpr int kPortFlags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

struct TEvent {
    long long ns = 0;
    std::string path;
    std::string event;
    int rts = -1;
    int dtr = -1;
    int pid = 0;
};

// The kernel's struct termios2 and its ioctl, which glibc's header cannot
// offer beside its own struct termios.
struct TKernelTermios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
constexpr unsigned long kTcGets2 = _IOR('T', 0x2A, TKernelTermios2);
constexpr unsigned long kTcSets2 = _IOW('T', 0x2B, TKernelTermios2);

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
        ASSERT_TRUE(ResetDevice(device_));
        ASSERT_TRUE(ResetDevice(other_));
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

    std::vector<TEvent> Events() const {
        std::vector<TEvent> events;
        std::ifstream in(log_);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            TEvent e;
            std::string rts, dtr, pid;
            fields >> e.ns >> e.path >> e.event >> rts >> dtr >> pid;
            EXPECT_TRUE(fields && rts.rfind("rts=", 0) == 0 && dtr.rfind("dtr=", 0) == 0 &&
                        pid.rfind("pid=", 0) == 0)
                << line;
            e.rts = std::atoi(rts.c_str() + 4);
            e.dtr = std::atoi(dtr.c_str() + 4);
            e.pid = std::atoi(pid.c_str() + 4);
            events.push_back(e);
        }
        return events;
    }

    // "event rts dtr" of each logged event of `path`, in order.
    std::vector<std::string> Summary(const std::string& path) const {
        std::vector<std::string> out;
        for (const TEvent& e : Events())
            if (e.path == path)
                out.push_back(e.event + " " + std::to_string(e.rts) + " " + std::to_string(e.dtr));
        return out;
    }

    TDeviceLevels Levels(const std::string& path) const {
        TDeviceLevels levels;
        EXPECT_TRUE(ReadDevice(path, levels));
        return levels;
    }

    static int Modem(int fd) {
        int bits = 0;
        EXPECT_EQ(::ioctl(fd, TIOCMGET, &bits), 0);
        return bits & (TIOCM_RTS | TIOCM_DTR);
    }

    static int Switch(int fd, unsigned long request, int bits) {
        return ::ioctl(fd, request, &bits);
    }

    std::string dir_, device_, other_, log_;
};

TEST_F(SerialDouble, LinesFollowOpenModemIoctlsAndClose) {
    const int fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(::isatty(fd), 1);
    TDeviceLevels levels = Levels(device_);
    EXPECT_TRUE(levels.rts && levels.dtr);
    EXPECT_EQ(levels.opens, 1);
    EXPECT_EQ(Modem(fd), TIOCM_RTS | TIOCM_DTR);

    EXPECT_EQ(Switch(fd, TIOCMBIC, TIOCM_RTS), 0);
    EXPECT_EQ(Switch(fd, TIOCMBIC, TIOCM_RTS), 0);  // already low: not logged
    EXPECT_EQ(Switch(fd, TIOCMBIS, TIOCM_DTR), 0);  // already high: not logged
    EXPECT_EQ(Modem(fd), TIOCM_DTR);
    EXPECT_EQ(Switch(fd, TIOCMSET, TIOCM_RTS), 0);
    EXPECT_EQ(Modem(fd), TIOCM_RTS);

    // A second open neither raises nor lowers anything; its close is not
    // the last.
    const int second = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(second, 0);
    EXPECT_EQ(Levels(device_).opens, 2);
    EXPECT_EQ(::close(second), 0);
    EXPECT_EQ(::close(fd), 0);
    levels = Levels(device_);
    EXPECT_FALSE(levels.rts || levels.dtr);
    EXPECT_EQ(levels.opens, 0);

    EXPECT_EQ(Summary(device_), (std::vector<std::string>{"open 1 1", "lines 0 1", "lines 1 0",
                                                          "open 1 0", "close 1 0", "close 0 0"}));
    const std::vector<TEvent> events = Events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].pid, ::getpid());
        if (i > 0) {
            EXPECT_GE(events[i].ns, events[i - 1].ns);
        }
    }
}

TEST_F(SerialDouble, SettingsPersistAndOnlyHupclAndB0MoveTheLines) {
    int fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD | CLOCAL | HUPCL),
              static_cast<tcflag_t>(CS8 | CREAD | CLOCAL | HUPCL));

    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL | PARENB | CSTOPB | CSIZE);
    t.c_cflag |= CS8;
    ASSERT_EQ(::cfsetispeed(&t, B1200), 0);
    ASSERT_EQ(::cfsetospeed(&t, B1200), 0);
    EXPECT_EQ(::tcsetattr(fd, 99, &t), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    // Without HUPCL the lines outlive the last close.
    ASSERT_EQ(::close(fd), 0);
    TDeviceLevels levels = Levels(device_);
    EXPECT_TRUE(levels.rts && levels.dtr);

    fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    termios back{};
    ASSERT_EQ(::tcgetattr(fd, &back), 0);
    EXPECT_EQ(::cfgetospeed(&back), static_cast<speed_t>(B1200));
    EXPECT_EQ(back.c_cflag & (CSIZE | PARENB | CSTOPB | HUPCL), static_cast<tcflag_t>(CS8));

    // The kernel's own structures, as a program without glibc's wrappers
    // would use them.
    TKernelTermios2 k{};
    ASSERT_EQ(::ioctl(fd, kTcGets2, &k), 0);
    EXPECT_EQ(k.c_ospeed, 1200u);
    EXPECT_EQ(k.c_ispeed, 1200u);
    EXPECT_EQ(k.c_cflag & CBAUD, static_cast<tcflag_t>(B1200));
    k.c_cflag = (k.c_cflag & ~static_cast<tcflag_t>(CBAUD)) | 0010000;  // BOTHER
    k.c_ospeed = 4800;
    ASSERT_EQ(::ioctl(fd, kTcSets2, &k), 0);
    ASSERT_EQ(::tcgetattr(fd, &back), 0);
    EXPECT_EQ(::cfgetospeed(&back), static_cast<speed_t>(B4800));

    // Speed B0 hangs the modem up; leaving it raises DTR, and RTS unless
    // the hardware flow control owns it.
    termios b0 = back;
    ASSERT_EQ(::cfsetospeed(&b0, B0), 0);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &b0), 0);
    EXPECT_EQ(Modem(fd), 0);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &back), 0);
    EXPECT_EQ(Modem(fd), TIOCM_RTS | TIOCM_DTR);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &b0), 0);
    termios flow = back;
    flow.c_cflag |= CRTSCTS;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &flow), 0);
    EXPECT_EQ(Modem(fd), TIOCM_DTR);

    // A device opened at B0 keeps its lines low.
    b0.c_cflag |= HUPCL;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &b0), 0);
    ASSERT_EQ(::close(fd), 0);
    fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Modem(fd), 0);
    ASSERT_EQ(::close(fd), 0);

    EXPECT_EQ(Summary(device_),
              (std::vector<std::string>{"open 1 1", "close 1 1", "open 1 1", "lines 0 0",
                                        "lines 1 1", "lines 0 0", "lines 0 1", "lines 0 0",
                                        "close 0 0", "open 0 0", "close 0 0"}));
}

TEST_F(SerialDouble, ExclusiveFlagAndFlockRefuseSecondOpens) {
    const int fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    EXPECT_TRUE(Levels(device_).exclusive);
    EXPECT_EQ(::open(device_.c_str(), kPortFlags), -1);
    EXPECT_EQ(errno, EBUSY);
    // Other devices are not affected.
    const int other = ::open(other_.c_str(), kPortFlags);
    EXPECT_GE(other, 0);
    EXPECT_EQ(::close(other), 0);

    ASSERT_EQ(::ioctl(fd, TIOCNXCL), 0);
    int second = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(second, 0);

    // flock() holds between two opens of one device, as on a tty.
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(::flock(second, LOCK_EX | LOCK_NB), -1);
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_EQ(::flock(fd, LOCK_UN), 0);
    EXPECT_EQ(::flock(second, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(::close(second), 0);

    // The last close clears the flag.
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    ASSERT_EQ(::close(fd), 0);
    EXPECT_FALSE(Levels(device_).exclusive);
    second = ::open(device_.c_str(), kPortFlags);
    EXPECT_GE(second, 0);
    EXPECT_EQ(::close(second), 0);
}

TEST_F(SerialDouble, ChildProcessSharesTheDeviceAndIsReapedAfterDying) {
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Dies holding the device, exclusively, without closing it.
        const int fd = ::open(device_.c_str(), kPortFlags);
        const char status = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 'y' : 'n';
        char c = 0;
        if (::write(ready[1], &status, 1) != 1 || ::read(go[0], &c, 1) < 0)
            ::_exit(2);
        ::_exit(0);
    }
    char status = 0;
    ASSERT_EQ(::read(ready[0], &status, 1), 1);
    EXPECT_EQ(status, 'y');
    TDeviceLevels levels = Levels(device_);
    EXPECT_EQ(levels.opens, 1);
    EXPECT_TRUE(levels.rts && levels.dtr && levels.exclusive);
    EXPECT_EQ(::open(device_.c_str(), kPortFlags), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(ReapDeadOwners(device_), 0);  // still alive

    // Reaped already as a zombie, before waitpid().
    ASSERT_EQ(::write(go[1], "x", 1), 1);
    int reaped = 0;
    for (int i = 0; i < 500 && reaped == 0; ++i) {
        reaped = ReapDeadOwners(device_);
        if (reaped == 0)
            ::usleep(10000);
    }
    EXPECT_EQ(reaped, 1);
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
    EXPECT_EQ(ReapDeadOwners(device_), 0);
    levels = Levels(device_);
    EXPECT_EQ(levels.opens, 0);
    EXPECT_FALSE(levels.rts || levels.dtr || levels.exclusive);
    const int fd = ::open(device_.c_str(), kPortFlags);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::close(fd), 0);

    const std::vector<TEvent> events = Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].event, "open");
    EXPECT_EQ(events[0].pid, child);
    EXPECT_EQ(events[1].event, "reap");
    EXPECT_EQ(events[1].pid, child);
    EXPECT_EQ(events[1].rts + events[1].dtr, 0);
    EXPECT_EQ(Summary(device_),
              (std::vector<std::string>{"open 1 1", "reap 0 0", "open 1 1", "close 0 0"}));
}

TEST_F(SerialDouble, DuplicatesShareTheOpenAndExitClosesTheDevice) {
    // The device closes with the last fd of its open.
    const int fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    const int copy = ::dup(fd);
    const int third = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ASSERT_GE(copy, 0);
    ASSERT_GE(third, 10);
    EXPECT_EQ(::close(fd), 0);
    EXPECT_EQ(::isatty(copy), 1);
    EXPECT_EQ(Switch(third, TIOCMBIC, TIOCM_RTS), 0);
    EXPECT_EQ(::close(copy), 0);
    EXPECT_EQ(Levels(device_).opens, 1);
    EXPECT_EQ(::close(third), 0);
    EXPECT_EQ(Levels(device_).opens, 0);

    // dup2() onto an fd of the device closes it.
    const int served = ::open(device_.c_str(), kPortFlags);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(served, 0);
    ASSERT_GE(null, 0);
    ASSERT_EQ(::dup2(null, served), served);
    EXPECT_EQ(Levels(device_).opens, 0);
    EXPECT_EQ(::isatty(served), 0);
    ::close(served);
    ::close(null);

    // A program that exits without closing the device (stty leaves it on
    // its standard input) has it closed as the kernel would.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::execlp("stty", "stty", "-F", device_.c_str(), "1200", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_EQ(Levels(device_).opens, 0);
    EXPECT_EQ(ReapDeadOwners(device_), 0);
    const int fd2 = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd2, 0);
    termios t{};
    EXPECT_EQ(::tcgetattr(fd2, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B1200));
    EXPECT_EQ(::close(fd2), 0);

    EXPECT_EQ(Summary(device_), (std::vector<std::string>{"open 1 1", "lines 0 1", "close 0 0",
                                                          "open 1 1", "close 0 0", "open 1 1",
                                                          "close 0 0", "open 1 1", "close 0 0"}));
    const std::vector<TEvent> events = Events();
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(events[5].pid, child);
    EXPECT_EQ(events[6].pid, child);
}

// Threads of one process take the state lock like processes do: no change
// is lost and no log line is torn.
TEST_F(SerialDouble, ConcurrentOpensKeepTheStateConsistent) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 100;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const std::string& path = t % 2 ? device_ : other_;
            for (int i = 0; i < kRounds; ++i) {
                const int fd = ::open(path.c_str(), kPortFlags);
                if (fd < 0 || Switch(fd, i % 2 ? TIOCMBIS : TIOCMBIC, TIOCM_RTS) != 0 ||
                    ::close(fd) != 0)
                    ++failures;
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    for (const std::string& path : {device_, other_}) {
        const TDeviceLevels levels = Levels(path);
        EXPECT_EQ(levels.opens, 0) << path;
        EXPECT_FALSE(levels.rts || levels.dtr) << path;
        int opens = 0, closes = 0;
        for (const TEvent& e : Events())
            if (e.path == path) {
                opens += e.event == "open";
                closes += e.event == "close";
            }
        EXPECT_EQ(opens, kThreads / 2 * kRounds) << path;
        EXPECT_EQ(closes, opens) << path;
    }
}

TEST_F(SerialDouble, PulledAdapterFailsWithEioAndRecoversAfterLastClose) {
    ::setenv("ZIV_SERIAL_DOUBLE_EIO_AFTER", "2", 1);
    const int fd = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    EXPECT_EQ(Switch(fd, TIOCMBIC, TIOCM_DTR), 0);
    EXPECT_FALSE(Levels(device_).hungUp);
    EXPECT_EQ(Modem(fd), TIOCM_RTS);  // the second modem call
    EXPECT_TRUE(Levels(device_).hungUp);

    errno = 0;
    EXPECT_EQ(Switch(fd, TIOCMBIC, TIOCM_RTS), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::tcgetattr(fd, &t), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::tcsetattr(fd, TCSANOW, &t), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::tcflush(fd, TCIOFLUSH), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::tcdrain(fd), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::isatty(fd), 0);

    // The hang-up shows whatever was asked; other descriptors poll as usual.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pollfd pfds[2] = {{fd, 0, 0}, {pipeFds[0], POLLIN, 0}};
    EXPECT_EQ(::poll(pfds, 2, 1000), 1);
    EXPECT_EQ(pfds[0].revents, POLLHUP | POLLERR);
    EXPECT_EQ(pfds[1].revents, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    EXPECT_EQ(::open(device_.c_str(), kPortFlags), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::close(fd), 0);

    // Replugged: lines low although HUPCL was off, the settings kept, and
    // the next open gets a working device.
    ::unsetenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
    const TDeviceLevels levels = Levels(device_);
    EXPECT_FALSE(levels.hungUp || levels.rts || levels.dtr);
    const int again = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(again, 0);
    ASSERT_EQ(::tcgetattr(again, &t), 0);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    EXPECT_EQ(Switch(again, TIOCMBIS, TIOCM_RTS), 0);
    pollfd pfd{again, 0, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    EXPECT_EQ(::close(again), 0);

    EXPECT_EQ(Summary(device_), (std::vector<std::string>{"open 1 1", "lines 1 0", "hangup 1 0",
                                                          "close 0 0", "open 1 1", "close 1 1"}));
}

TEST_F(SerialDouble, OnlyConfiguredPathsAreServed) {
    const std::string plain = dir_ + "/plain.txt";
    { std::ofstream(plain) << "text"; }
    const int fd = ::open(plain.c_str(), kPortFlags);
    ASSERT_GE(fd, 0);
    errno = 0;
    EXPECT_EQ(::isatty(fd), 0);
    EXPECT_EQ(errno, ENOTTY);
    int bits = 0;
    EXPECT_EQ(::ioctl(fd, TIOCMGET, &bits), -1);
    EXPECT_EQ(errno, ENOTTY);
    termios t{};
    EXPECT_EQ(::tcgetattr(fd, &t), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(::close(fd), 0);

    // Another spelling of a device path, and a symbolic link to it, open
    // the device; its configured path is what the log names.
    const std::string link = dir_ + "/link/ttyZIV0";
    std::filesystem::create_directory(dir_ + "/link");
    std::filesystem::create_symlink(device_, link);
    for (const std::string& path : {dir_ + "/./ttyZIV0", link}) {
        const int served = ::openat(AT_FDCWD, path.c_str(), kPortFlags);
        ASSERT_GE(served, 0) << path;
        EXPECT_EQ(::isatty(served), 1) << path;
        EXPECT_EQ(::close(served), 0);
    }

    // A device that is missing is missing.
    const std::string missing = dir_ + "/ttyZIV9";
    ::setenv("ZIV_SERIAL_DOUBLE_DEVICES", (device_ + ":" + missing).c_str(), 1);
    EXPECT_EQ(::open(missing.c_str(), kPortFlags), -1);
    EXPECT_EQ(errno, ENOENT);

    // A changed list applies to later opens only.
    const int kept = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(kept, 0);
    ::setenv("ZIV_SERIAL_DOUBLE_DEVICES", other_.c_str(), 1);
    const int unserved = ::open(device_.c_str(), kPortFlags);
    ASSERT_GE(unserved, 0);
    EXPECT_EQ(::isatty(unserved), 0);
    EXPECT_EQ(::isatty(kept), 1);
    EXPECT_EQ(::close(unserved), 0);
    EXPECT_EQ(::close(kept), 0);

    for (const TEvent& e : Events())
        EXPECT_EQ(e.path, device_);
    EXPECT_EQ(Summary(device_), (std::vector<std::string>{"open 1 1", "close 0 0", "open 1 1",
                                                          "close 0 0", "open 1 1", "close 0 0"}));
}

// The keyer's own serial code against the double: opening, the line
// settings with both control lines disabled, and keying by RTS.
TEST_F(SerialDouble, KeyerPlatformKeysRts) {
    std::vector<std::string> messages;
    TPosixCommPlatform platform([this](const std::string&) { return device_; },
                                [&](const std::string& line) { messages.push_back(line); });
    TCommHandle handle = INVALID_HANDLE_VALUE;
    ASSERT_EQ(platform.CreateFile("COM1", handle), 0);
    TCommHandle second = INVALID_HANDLE_VALUE;
    EXPECT_EQ(platform.CreateFile("COM1", second), EBUSY);
    EXPECT_EQ(messages.size(), 1u);

    TDCB dcb;
    dcb.BaudRate = 1200;
    dcb.ByteSize = 8;
    dcb.Parity = 0;
    dcb.StopBits = 0;
    dcb.Flags = DCB_fBinary | (DTR_CONTROL_DISABLE << DCB_fDtrControlShift) |
                (RTS_CONTROL_DISABLE << DCB_fRtsControlShift);
    ASSERT_EQ(platform.SetCommState(handle, dcb), 0);
    TDCB back;
    ASSERT_EQ(platform.GetCommState(handle, back), 0);
    EXPECT_EQ(back.BaudRate, 1200u);
    EXPECT_EQ(back.ByteSize, 8);
    ASSERT_EQ(platform.EscapeCommFunction(handle, SETRTS), 0);
    TDeviceLevels levels = Levels(device_);
    EXPECT_TRUE(levels.rts);
    EXPECT_FALSE(levels.dtr);
    EXPECT_TRUE(levels.exclusive);
    EXPECT_EQ(platform.EscapeCommFunction(handle, CLRRTS), 0);
    ASSERT_EQ(platform.CloseHandle(handle), 0);
    levels = Levels(device_);
    EXPECT_EQ(levels.opens, 0);
    EXPECT_FALSE(levels.exclusive);

    // The adapter pulled while keyed, after the two line switches of the
    // settings and the key: the platform sees the hang-up, and the port
    // still closes.
    ::setenv("ZIV_SERIAL_DOUBLE_EIO_AFTER", "3", 1);
    ASSERT_EQ(platform.CreateFile("COM1", handle), 0);
    ASSERT_EQ(platform.SetCommState(handle, dcb), 0);
    ASSERT_EQ(platform.EscapeCommFunction(handle, SETRTS), 0);
    EXPECT_EQ(platform.EscapeCommFunction(handle, CLRRTS), EIO);
    EXPECT_EQ(platform.PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR), 0);
    EXPECT_EQ(platform.CloseHandle(handle), 0);
    EXPECT_EQ(Levels(device_).opens, 0);

    EXPECT_EQ(Summary(device_),
              (std::vector<std::string>{"open 1 1", "lines 1 0", "lines 0 0", "lines 1 0",
                                        "lines 0 0", "close 0 0", "open 1 1", "lines 1 0",
                                        "lines 0 0", "lines 1 0", "hangup 1 0", "close 0 0"}));
}

}  // namespace
}  // namespace ziv::e2e
