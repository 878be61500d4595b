// What no end-to-end run shows of the double (it runs preloaded, see
// CMakeLists.txt): the pulled-out adapter that ZIV_SERIAL_DOUBLE_EIO_AFTER
// makes, and a served file seen as a tty by any descriptor of it.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "device_state.h"

namespace ziv::e2e {
namespace {

TEST(SerialDouble, PulledAdapterFailsWithEioAndComesBackLow) {
    char pattern[] = "/tmp/ziv_serial_double_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern, device = dir + "/ttyZIV0", log = dir + "/lines.log";
    ASSERT_TRUE(ResetDevice(device));
    ::setenv("ZIV_SERIAL_DOUBLE_DEVICES", device.c_str(), 1);
    ::setenv("ZIV_SERIAL_DOUBLE_LOG", log.c_str(), 1);
    ::setenv("ZIV_SERIAL_DOUBLE_EIO_AFTER", "2", 1);

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    struct stat st {};
    const int copy = ::dup(fd);  // as a descriptor Wine's server hands over
    EXPECT_TRUE(::fstat(copy, &st) == 0 && S_ISCHR(st.st_mode));
    EXPECT_EQ(::close(copy), 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    int bits = TIOCM_DTR;
    EXPECT_EQ(::ioctl(fd, TIOCMBIC, &bits), 0);
    EXPECT_EQ(::ioctl(fd, TIOCMGET, &bits), 0);
    EXPECT_EQ(::ioctl(fd, TIOCMBIS, &bits), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::tcflush(fd, TCIOFLUSH), -1);
    EXPECT_EQ(::isatty(fd), 0);
    pollfd pfd{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 1000), 1);
    EXPECT_EQ(pfd.revents, POLLHUP | POLLERR);
    EXPECT_EQ(::close(fd), 0);

    ::unsetenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
    const int again = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(again, 0);
    ASSERT_EQ(::tcgetattr(again, &t), 0);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u) << "the settings were lost";
    pfd = {again, 0, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    EXPECT_EQ(::close(again), 0);
    std::string events, line;
    for (std::ifstream in(log); std::getline(in, line);) {
        std::istringstream fields(line);
        std::string ns, path, event, rts, dtr;
        fields >> ns >> path >> event >> rts >> dtr;
        events += event + " " + rts + " " + dtr + "; ";
    }
    EXPECT_EQ(events,
              "open rts=1 dtr=1; lines rts=1 dtr=0; hangup rts=1 dtr=0; close rts=0 dtr=0; "
              "open rts=1 dtr=1; close rts=1 dtr=1; ");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ziv::e2e
