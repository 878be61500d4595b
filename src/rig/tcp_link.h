#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace ziv::rig {

using Clock = std::chrono::steady_clock;

// What a read or write says when its deadline passed.
inline constexpr char kNoAnswer[] = "no answer in time";

// One TCP connection that reads and writes text lines, every call bounded
// by a deadline: a radio's server that stalls must never hold the keyer.
class ITcpLink {
public:
    virtual ~ITcpLink() = default;
    // Connects to `host`:`port`; false with the reason in `error`.
    virtual bool Connect(const std::string& host, int port, Clock::time_point deadline,
                         std::string* error) = 0;
    virtual bool Send(const std::string& text, Clock::time_point deadline, std::string* error) = 0;
    // The next line without its end; false with the reason when none came
    // by the deadline or the peer closed.
    virtual bool ReadLine(std::string& line, Clock::time_point deadline, std::string* error) = 0;
    virtual bool Connected() const = 0;
    virtual void Close() = 0;
};

// The platform's TCP connection (POSIX sockets or Winsock).
std::unique_ptr<ITcpLink> NewTcpLink();

}  // namespace ziv::rig
