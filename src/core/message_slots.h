#pragma once

#include <array>
#include <string>

namespace ziv {

// The three message slot paths: the full path of each slot's WAV file as
// the file system's own bytes, or empty. Shared by the operator commands,
// the station settings and the message files window.
struct TMessageSlots {
    static constexpr int Count = 3;
    std::array<std::string, Count> Paths;

    // Slots are numbered 1..3 as the operator sees them.
    const std::string& Path(int n) const { return Paths.at(static_cast<size_t>(n - 1)); }
    void SetPath(int n, std::string path) {
        Paths.at(static_cast<size_t>(n - 1)) = std::move(path);
    }
};

}  // namespace ziv
