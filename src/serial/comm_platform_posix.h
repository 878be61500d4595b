#pragma once

#include "serial/comm_platform.h"

namespace ziv {

// Serial devices of a POSIX system; the handle is the file descriptor.
class TPosixCommPlatform : public TCommPlatform {
public:
    int EscapeCommFunction(TCommHandle handle, std::uint32_t function) override;
    std::string ErrorText(int code) override;
};

}  // namespace ziv
