#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "serial/comm_platform.h"
#include "serial/custom_comm.h"

namespace ziv::test {

// Records every serial call in order, with the virtual time when a clock
// is given, and fails the calls it is told to fail.
class TFakeCommPlatform : public TCommPlatform {
public:
    struct Call {
        std::int64_t time;
        std::string name;
        std::uint32_t arg;
    };

    std::function<std::int64_t()> Clock;
    std::vector<Call> Calls;
    // Call name -> error code to return (0 or absent: success).
    std::map<std::string, int> FailWith;
    // Texts per code; a code without one reads "Error <code>.\r\n".
    std::map<int, std::string> Texts;

    int EscapeCommFunction(TCommHandle handle, std::uint32_t function) override;
    std::string ErrorText(int code) override;

    // The escape functions only, as "SETRTS", "CLRDTR", ...
    std::vector<std::string> LineCalls() const;

protected:
    int Record(const std::string& name, std::uint32_t arg);
};

// A port component whose handle a test can set to an already-open value.
class TTestComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;
    void AttachHandle(TCommHandle handle) { FHandle = handle; }
};

}  // namespace ziv::test
