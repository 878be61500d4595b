#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/files_window_model.h"

// What the browser reads on Windows: folders through FindFirstFileExW, the
// drives from GetLogicalDriveStringsW. No <windows.h> here.

namespace ziv::files_win32 {

// A wide path as the model keeps it: UTF-8 with "/" between its parts
// ("C:/Įrašai"). A lone surrogate, which a Windows name may hold, keeps
// three bytes of its own (WTF-8), so every name comes back as it was.
std::string PathFromWide(std::wstring_view wide);
// And back, with "\" between the parts.
std::wstring WideFromPath(std::string_view path);

class TFolderReader : public TBrowsedFileSystem {
public:
    // The visible entries (not "." and "..", nor hidden or system ones),
    // each sorted by name ignoring case.
    TDirectoryEntries Read(const std::string& dir) override;
    // Upper case as the file system compares names, not only A..Z.
    std::u32string Folded(const std::string& name) const override;
    TPathStyle PathStyle() const override { return TPathStyle::Windows; }
    // The ANSI path (ToAnsiPath), with "/" between its parts.
    std::optional<std::string> SlotPath(const std::string& path) const override;
};

// The logical drives as the system lists them, "C:/", "D:/", ..., each
// shown as "c:" and, for a fixed drive, its volume label: "c: [SYSTEM]".
std::vector<TVolume> LogicalDrives();

}  // namespace ziv::files_win32
