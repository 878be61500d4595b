#pragma once

#include <cstdint>
#include <string>

namespace ziv {

// A device handle of the serial platform layer: a file descriptor on POSIX.
using TCommHandle = std::intptr_t;
inline constexpr TCommHandle INVALID_HANDLE_VALUE = -1;

// Line functions of EscapeCommFunction, with the platform's values.
enum TCommFunction : std::uint32_t {
    SETRTS = 3,
    CLRRTS = 4,
    SETDTR = 5,
    CLRDTR = 6,
};

// The serial calls the port component makes. Each call returns 0 on
// success or the platform's error code (errno on POSIX), taken at once
// inside the call, so that nothing can overwrite it before it is reported.
class TCommPlatform {
public:
    virtual ~TCommPlatform() = default;

    virtual int EscapeCommFunction(TCommHandle handle, std::uint32_t function) = 0;

    // The platform's text for an error code, as the platform gives it
    // (possibly with a trailing full stop or line break).
    virtual std::string ErrorText(int code) = 0;
};

}  // namespace ziv
