#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/files/files_window_model.h"

// What the browser reads on Linux: directories through std::filesystem,
// the drives from the mounted file systems.

namespace ziv {

class TDirectoryReader : public TBrowsedFileSystem {
public:
    // The visible entries (names starting with "." are skipped), sorted by
    // display name ignoring case; links to directories are browsed as such.
    TDirectoryEntries Read(const std::string& dir) override;
    // The display name, case folded by Unicode's rules.
    std::u32string Folded(const std::string& name) const override;
    TPathStyle PathStyle() const override { return TPathStyle::Posix; }
    std::optional<std::string> SlotPath(const std::string& path) const override { return path; }
};

// The browsable mounted file systems (IsBrowsableVolume), the root "/"
// first; each shown with its volume name when it has one.
std::vector<TVolume> BrowsableVolumes();

}  // namespace ziv
