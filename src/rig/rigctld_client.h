#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "rig/tcp_link.h"

namespace ziv::rig {

// Keys a radio through Hamlib's rigctld, which the logging program may
// share: its extended answers ("+" commands), each command bounded by a
// time-out, the PTT read back after every change. Blocking: run it off
// the window's thread.
class TRigctldClient {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{500};

    TRigctldClient(std::unique_ptr<ITcpLink> link, std::string host, int port,
                   std::chrono::milliseconds timeout = kDefaultTimeout);
    ~TRigctldClient();
    TRigctldClient(const TRigctldClient&) = delete;
    TRigctldClient& operator=(const TRigctldClient&) = delete;

    // Keys (or unkeys) and reads the PTT back; true only when the radio
    // says it is so. Connects first when not connected: a new connection
    // starts with an unkey. On any failure the connection is dropped.
    bool SetPtt(bool on, std::string* error);
    // Reads the PTT; false, and the connection dropped, when it cannot.
    bool ReadPtt(bool* on, std::string* error);
    // Unkeys, on a new connection when the standing one fails, and closes:
    // rigctld keeps a radio keyed after its client has gone.
    bool Release(std::string* error);
    bool Connected() const { return link_->Connected(); }

private:
    bool Connect(std::string* error);
    bool Unkey(std::string* error);
    // Sends "+command" and reads the answer up to its "RPRT" line; the
    // value of `field` ("PTT") when asked for. False, and the connection
    // dropped, on anything but "RPRT 0".
    bool Command(const std::string& command, const std::string& name, std::string* error,
                 const std::string& field = {}, std::string* value = nullptr);
    std::string Where() const;

    std::unique_ptr<ITcpLink> link_;
    std::string host_;
    int port_;
    std::chrono::milliseconds timeout_;
    bool dropped_ = false;  // the last command failed as the connection went
};

}  // namespace ziv::rig
