#include "serial/comm_platform_posix.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

namespace ziv {

int TPosixCommPlatform::EscapeCommFunction(TCommHandle handle, std::uint32_t function) {
    int bit = 0;
    unsigned long request = 0;
    switch (function) {
        case SETRTS: bit = TIOCM_RTS; request = TIOCMBIS; break;
        case CLRRTS: bit = TIOCM_RTS; request = TIOCMBIC; break;
        case SETDTR: bit = TIOCM_DTR; request = TIOCMBIS; break;
        case CLRDTR: bit = TIOCM_DTR; request = TIOCMBIC; break;
        default: return EINVAL;
    }
    // Switch the one line alone, so that the other keeps its level.
    if (::ioctl(static_cast<int>(handle), request, &bit) != 0) return errno;
    return 0;
}

std::string TPosixCommPlatform::ErrorText(int code) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return ::strerror_r(code, buffer, sizeof buffer);
#else
    if (::strerror_r(code, buffer, sizeof buffer) != 0) return "Unknown error " + std::to_string(code);
    return buffer;
#endif
}

}  // namespace ziv
