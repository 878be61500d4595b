#pragma once

#include <functional>
#include <string>
#include <string_view>

// The settings file's whole-file access, the one part of it that differs
// between systems: file_replace_posix.cpp (rename) and file_replace_win32.cpp
// (ReplaceFileW, MoveFileExW). On Windows a path is ANSI-code-page text with
// "/" or "\" between its parts (see ansi_path_win32.h).

namespace ziv {

// Writes all of bytes to the open descriptor fd (on Windows a C runtime
// descriptor of the file's handle, so that write() serves both); returns
// false with errno set when it cannot. Tests replace it to fail part-way
// through a write.
using TWriteBytes = std::function<bool(int fd, std::string_view bytes)>;

enum class TReadResult { Read, Missing, Failed };

// Reads the whole file into content (emptied first). Missing: there is no
// such file; Failed: there is one, but it cannot be read.
TReadResult ReadWholeFile(const std::string& path, std::string& content);

// The line ending of a file that has none yet: "\n", and "\r\n" on Windows,
// as the system's own profile functions write it. A file that has one keeps
// it (TIniFile).
std::string_view NewFileLineEnding();

// Replaces the file's content so that a reader, or the disk after a crash,
// sees either the old content or the new one, never a part: the new
// content goes to a temporary file beside the target (its name starts with
// a dot), is synced and renamed over the target, which keeps its
// permissions (on Windows ReplaceFileW, which keeps its attributes and
// ACL). On POSIX a link is followed: the file it points at is replaced. A
// target that may not be written to (read-only, or denied to the user) is
// refused. On any failure the temporary file is removed, the old file is
// left as it was and the result is false. writeBytes, when set, writes the content in place of the
// system's write.
bool ReplaceFileContent(const std::string& path, std::string_view content,
                        const TWriteBytes& writeBytes);

}  // namespace ziv
