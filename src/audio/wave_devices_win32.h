#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ziv::win32 {

// The wave output and input devices by the names the system gives them
// (UTF-8; the system cuts them to 31 characters). A device's number changes
// when a USB sound card is plugged in again; its name does not.
std::vector<std::string> WaveOutNames();
std::vector<std::string> WaveInNames();

// The number of the device named `name`; nullopt when none is.
std::optional<unsigned> WaveOutId(const std::string& name);
std::optional<unsigned> WaveInId(const std::string& name);

}  // namespace ziv::win32
