#pragma once

#include <string>
#include <vector>

namespace ziv {

// One directory's visible entries (names starting with "." are skipped),
// sorted by display name ignoring case. Ok is false when it cannot be read.
struct TDirectoryEntries {
    bool Ok = false;
    std::vector<std::string> Directories;
    std::vector<std::string> Files;
};
TDirectoryEntries ReadDirectory(const std::string& dir);

}  // namespace ziv
