#include <winsock2.h>
#include <ws2tcpip.h>

// After the two above, which it needs.
#include <mstcpip.h>

#include <mutex>

#include "rig/line_link.h"

namespace ziv::rig {
namespace {

std::string SocketErrorText(int code) {
    char* text = nullptr;
    const DWORD size = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = size > 0 ? std::string(text, size) : "error " + std::to_string(code);
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == '.' || result.back() == ' '))
        result.pop_back();
    return result;
}

bool StartWinsock(std::string* error) {
    static std::once_flag once;
    static int started = -1;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data);
    });
    if (started != 0)
        *error = SocketErrorText(started);
    return started == 0;
}

// Waits until `s` can be read (or written); false with the reason when the
// deadline passed first.
bool WaitFor(SOCKET s, bool write, Clock::time_point deadline, std::string* error) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    const long long us = left.count() > 0 ? left.count() : 0;
    timeval timeout{static_cast<long>(us / 1000000), static_cast<long>(us % 1000000)};
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);  // a refused connect shows here
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &timeout);
    if (n == 0) {
        *error = kNoAnswer;
        return false;
    }
    if (n < 0 || FD_ISSET(s, &failed)) {
        int failure = n < 0 ? WSAGetLastError() : 0;
        int size = sizeof failure;
        if (n > 0)
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &size);
        *error = SocketErrorText(failure);
        return false;
    }
    return true;
}

class TWin32TcpLink final : public TLineLink {
public:
    ~TWin32TcpLink() override { Close(); }

    bool Connect(const std::string& host, int port, Clock::time_point deadline,
                 std::string* error) override {
        Close();
        if (!StartWinsock(error))
            return false;
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
            rc != 0) {
            *error = SocketErrorText(rc);
            return false;
        }
        *error = "no address";
        for (addrinfo* a = found; a != nullptr && socket_ == INVALID_SOCKET; a = a->ai_next)
            TryAddress(*a, deadline, error);
        freeaddrinfo(found);
        ForgetReceived();
        return socket_ != INVALID_SOCKET;
    }

    bool Connected() const override { return socket_ != INVALID_SOCKET; }

    void Close() override {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }

protected:
    bool Wait(bool write, Clock::time_point deadline, std::string* error) override {
        return WaitFor(socket_, write, deadline, error);
    }

    bool SendSome(const char* data, size_t size, size_t* moved, std::string* error) override {
        return Moved(send(socket_, data, static_cast<int>(size), 0), moved, error);
    }

    bool ReceiveSome(char* data, size_t size, size_t* moved, std::string* error) override {
        const int n = recv(socket_, data, static_cast<int>(size), 0);
        if (n == 0) {
            *error = "the connection was closed";
            return false;
        }
        return Moved(n, moved, error);
    }

private:
    static bool Moved(int n, size_t* moved, std::string* error) {
        *moved = n > 0 ? static_cast<size_t>(n) : 0;
        if (n != SOCKET_ERROR || WSAGetLastError() == WSAEWOULDBLOCK)
            return true;
        *error = SocketErrorText(WSAGetLastError());
        return false;
    }

    void TryAddress(const addrinfo& a, Clock::time_point deadline, std::string* error) {
        SOCKET s = socket(a.ai_family, a.ai_socktype, a.ai_protocol);
        if (s == INVALID_SOCKET) {
            *error = SocketErrorText(WSAGetLastError());
            return;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        // A command is one short line: it goes out at once.
        const BOOL one = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        if (connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == SOCKET_ERROR &&
            WSAGetLastError() != WSAEWOULDBLOCK) {
            *error = SocketErrorText(WSAGetLastError());
            closesocket(s);
            return;
        }
        if (!WaitFor(s, true, deadline, error)) {
            closesocket(s);
            return;
        }
        // rigctld writes an answer in pieces, each held back (Nagle) until
        // the one before is acknowledged: every segment is acknowledged at
        // once here (where the system allows it), or a confirmed key waits.
        DWORD frequency = 1, returned = 0;
        WSAIoctl(s, SIO_TCP_SET_ACK_FREQUENCY, &frequency, sizeof frequency, nullptr, 0, &returned,
                 nullptr, nullptr);
        socket_ = s;
    }

    SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<ITcpLink> NewTcpLink() {
    return std::make_unique<TWin32TcpLink>();
}

}  // namespace ziv::rig
