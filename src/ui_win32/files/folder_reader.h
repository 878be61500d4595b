#pragma once

#include <string>
#include <vector>

// What the browser lists: one folder's entries and the logical drives.

namespace ziv::files_win32 {

// One folder's visible entries (not "." and "..", nor hidden or system
// entries), each sorted by name ignoring case. Ok is false when the
// folder cannot be read.
struct TFolderEntries {
    bool Ok = false;
    std::vector<std::wstring> Folders;
    std::vector<std::wstring> Files;
};
TFolderEntries ReadFolder(const std::wstring& dir);

// The logical drives, "C:\", "D:\", ..., as the system lists them.
std::vector<std::wstring> LogicalDrives();
// "c:" and, for a fixed drive, its volume label in brackets: "c: [SYSTEM]".
std::wstring DriveCaption(const std::wstring& root);

}  // namespace ziv::files_win32
