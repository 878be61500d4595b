#pragma once

#include <string>

#include "mock/fake_comm_platform.h"
#include "serial/comm.h"

namespace ziv::test {

// The message of the EVaCommError that `action` raises ("" if none).
template <typename F>
std::string CommErrorOf(F&& action) {
    try {
        action();
    } catch (const EVaCommError& error) {
        return error.what();
    }
    return {};
}

}  // namespace ziv::test
