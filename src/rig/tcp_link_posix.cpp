#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "rig/line_link.h"

namespace ziv::rig {
namespace {

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `fd` is ready for `events`; false with the reason when the
// deadline passed first.
bool WaitFor(int fd, short events, Clock::time_point deadline, std::string* error) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, MillisecondsLeft(deadline));
        if (n > 0)
            return true;
        if (n == 0) {
            *error = kNoAnswer;
            return false;
        }
        if (errno != EINTR) {
            *error = std::strerror(errno);
            return false;
        }
    }
}

// rigctld writes an answer in pieces, each held back (Nagle) until the one
// before is acknowledged; a delayed acknowledgement here then holds a
// confirmed key back 40 ms. Linux forgets the setting after each read.
void AckAtOnce(int fd) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

class TPosixTcpLink final : public TLineLink {
public:
    ~TPosixTcpLink() override { Close(); }

    bool Connect(const std::string& host, int port, Clock::time_point deadline,
                 std::string* error) override {
        Close();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
            rc != 0) {
            *error = gai_strerror(rc);
            return false;
        }
        *error = "no address";
        for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next)
            TryAddress(*a, deadline, error);
        freeaddrinfo(found);
        ForgetReceived();
        return fd_ >= 0;
    }

    bool Connected() const override { return fd_ >= 0; }

    void Close() override {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

protected:
    bool Wait(bool write, Clock::time_point deadline, std::string* error) override {
        return WaitFor(fd_, write ? POLLOUT : POLLIN, deadline, error);
    }

    bool SendSome(const char* data, size_t size, size_t* moved, std::string* error) override {
        const ssize_t n = send(fd_, data, size, MSG_NOSIGNAL);
        return Moved(n, moved, error);
    }

    bool ReceiveSome(char* data, size_t size, size_t* moved, std::string* error) override {
        const ssize_t n = recv(fd_, data, size, 0);
        if (n == 0) {
            *error = "the connection was closed";
            return false;
        }
        AckAtOnce(fd_);
        return Moved(n, moved, error);
    }

private:
    static bool Moved(ssize_t n, size_t* moved, std::string* error) {
        *moved = n > 0 ? static_cast<size_t>(n) : 0;
        if (n >= 0 || errno == EINTR || errno == EAGAIN)
            return true;
        *error = std::strerror(errno);
        return false;
    }

    void TryAddress(const addrinfo& a, Clock::time_point deadline, std::string* error) {
        const int fd =
            socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
        if (fd < 0) {
            *error = std::strerror(errno);
            return;
        }
        // A command is one short line: it goes out at once.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (connect(fd, a.ai_addr, a.ai_addrlen) != 0 && errno != EINPROGRESS) {
            *error = std::strerror(errno);
            close(fd);
            return;
        }
        int failure = 0;
        socklen_t size = sizeof failure;
        if (!WaitFor(fd, POLLOUT, deadline, error) ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0) {
            if (failure != 0)
                *error = std::strerror(failure);
            close(fd);
            return;
        }
        AckAtOnce(fd);
        fd_ = fd;
    }

    int fd_ = -1;
};

}  // namespace

std::unique_ptr<ITcpLink> NewTcpLink() {
    return std::make_unique<TPosixTcpLink>();
}

}  // namespace ziv::rig
