#pragma once

#include <optional>
#include <string>

// Paths in the Windows build. Files written by other Windows programs hold
// paths in the ANSI code page, and the sound and serial code opens them
// with the ...A calls, so the settings keep every path as ANSI-code-page
// bytes in a std::string, with "/" between its parts as the shared path
// rules (base/path_rules.h) want. The settings code opens files with the
// ...W calls after ToWidePath: the one conversion, made explicitly, in one
// place. Windows build only; no <windows.h> here.

namespace ziv {

// The path in the ANSI code page. When a character of it has no exact
// place there (a user name in another script), the short (8.3) form of
// the path, which is plain ASCII and still opens the same file; nothing
// when the file system keeps no short names either. Separators stay as
// they are.
std::optional<std::string> ToAnsiPath(const std::wstring& path);

// The ANSI path with every "\" turned into "/". The turn is made in UTF-16:
// in a double-byte code page the byte of "\" can be the second half of
// another character.
std::string WithForwardSlashes(const std::string& ansiPath);

// The ANSI path as UTF-16 for the ...W calls, "/" turned into "\".
std::wstring ToWidePath(const std::string& ansiPath);

// The system's text for an error code, without the closing full stop.
std::string SystemMessage(unsigned long code);

}  // namespace ziv
