#pragma once

#include <string>

#include "settings/ini_ctrl.h"

// The pieces of the settings code the system answers, one implementation
// per system beside the shared files: ini_ctrl_posix.cpp / ini_ctrl_win32.cpp
// and settings_path_posix.cpp / settings_path_win32.cpp. (ExecutablePath,
// ProcessEnvironment, CreateSettingsFolder and SystemSettingsPlace, which
// the program calls too, are declared in the public headers.)

namespace ziv {

// The folder ppWindows or ppSystem stands for: on POSIX the user's
// configuration folder and /etc, on Windows the Windows and the system
// folder. Empty for the other prefixes.
std::string PrefixFolder(TLMDPathPrefix prefix);

// Whether path names a file (not a folder) that exists.
bool IsExistingFile(const std::string& path);

}  // namespace ziv
