#pragma once

#include <functional>
#include <string>
#include <vector>

// The rules the files window's browser follows on names and paths, apart
// from any toolkit and file system. A path is the file system's own bytes
// with "/" between its parts, as base/path_rules.h takes it: a POSIX path
// as it is, a Windows path turned at the Win32 edge ("C:/a",
// "//server/share/a").

namespace ziv {

// POSIX paths have the root "/" and keep their case; Windows paths have a
// drive's or a share's root and ignore case.
enum class TPathStyle { Posix, Windows };

// A name as the platform compares it ignoring case: its characters, case
// folded the way the platform's file system folds them.
using TFoldCase = std::function<std::u32string(const std::string&)>;

// The root of a full path: "/", or "C:/" and "//server/share/"; empty for
// a relative path.
std::string RootOf(const std::string& dir, TPathStyle style);
// `dir` without a trailing "/"; a root keeps its own.
std::string NormalizedDirectory(std::string dir, TPathStyle style);
// "/", "/a", "/a/b" for "/a/b" (or "C:/", "C:/a"): the directories from the
// root down; empty for a relative path.
std::vector<std::string> DirectoryChain(const std::string& dir, TPathStyle style);
// Whether `dir` is `root` or lies below it; Windows paths compare ignoring
// case as `fold` folds them.
bool IsInside(const std::string& dir, const std::string& root, TPathStyle style,
              const TFoldCase& fold);

// One entry of the file-type selector.
struct TFileFilter {
    std::string Description;
    std::string Mask;
};
// The entries of a "description|mask|description|mask" text.
std::vector<TFileFilter> ParseFilter(const std::string& filter);
// Whether a file name matches a mask list such as "*.wav;*.au" ("*" any
// run, "?" one character), ignoring case as `fold` does; "*" and "*.*"
// mean every file, names without a dot too, as "Visi failai (*.*)" promises.
bool MatchesMask(const std::string& name, const std::string& masks, const TFoldCase& fold);

// The directory as it fits the label's `maxWidth` in `textWidth`'s font:
// leading names after the root are replaced with "..." one at a time,
// "/home/op/msg/cq" -> "/.../msg/cq" -> "/.../cq"; when only the last name
// is left the root goes too, ".../cq", and a directory of one name that
// does not fit is shown as that name. Names are dropped whole, so a
// multi-byte character is never cut.
using TTextWidth = std::function<int(const std::string&)>;
std::string MinimizeName(const std::string& dir, const TTextWidth& textWidth, int maxWidth);

// Whether a label may hold the character: the settings file stores labels
// in Windows-1257, one a line, so the code page must hold it and it must
// not be a control character. A UTF-16 surrogate half never passes.
bool LabelCanHold(char32_t ch);

// Mounted file systems worth offering as drives on Linux: not the kernel's
// pseudo file systems (proc, sysfs, cgroup, ...) nor anything mounted below
// /proc, /sys, /dev or /run (removable media under /run/media excepted).
bool IsBrowsableVolume(const std::string& mountPoint, const std::string& fileSystemType);

}  // namespace ziv
