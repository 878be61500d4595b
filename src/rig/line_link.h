#pragma once

#include <cstddef>
#include <string>

#include "rig/tcp_link.h"

namespace ziv::rig {

// What every platform's connection shares: sending all of a text and
// handing out the answer a line at a time ("\n" or "\r\n" ends one), each
// within the deadline. A platform gives the waiting and the moving of bytes.
class TLineLink : public ITcpLink {
public:
    bool Send(const std::string& text, Clock::time_point deadline, std::string* error) override;
    bool ReadLine(std::string& line, Clock::time_point deadline, std::string* error) override;

protected:
    // Until the connection can be written (or read); false with the reason
    // when the deadline passed first (kNoAnswer) or it failed.
    virtual bool Wait(bool write, Clock::time_point deadline, std::string* error) = 0;
    // What can be moved now: `moved` bytes (0 when it would wait); false
    // with the reason when the connection failed or was closed.
    virtual bool SendSome(const char* data, size_t size, size_t* moved, std::string* error) = 0;
    virtual bool ReceiveSome(char* data, size_t size, size_t* moved, std::string* error) = 0;
    // A new connection starts with nothing received.
    void ForgetReceived() { received_.clear(); }

private:
    std::string received_;  // not yet handed out
};

}  // namespace ziv::rig
