#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace ziv {

// Environment variables by name; a name that is missing is unset.
using TEnvironment = std::map<std::string, std::string>;

// The process's own environment.
TEnvironment ProcessEnvironment();

// The settings file's place cannot be told or made.
class ESettingsPathError : public std::runtime_error {
public:
    explicit ESettingsPathError(const std::string& message) : std::runtime_error(message) {}
};

// Where the station settings file lies for the executable at
// executablePath (on POSIX symbolic links are resolved first):
// - POSIX: a copy installed under installPrefix (its executable in
//   installPrefix + "/bin"), whoever runs it: one file per user,
//   $XDG_CONFIG_HOME/ZIVSound/ZIVSound.ini, or ~/.config/ZIVSound/ZIVSound.ini
//   when XDG_CONFIG_HOME is unset, empty or not an absolute path. An empty
//   installPrefix means no copy counts as installed. Windows has no such
//   rule; its per-user file is %APPDATA%\ZIVSound\ZIVSound.ini, given with
//   "/" between the parts.
// - any other copy: "ZIVSound.ini" beside the executable when that file
//   exists or the user can create it there, else the per-user file.
// Throws ESettingsPathError when the per-user file is needed and the
// environment names no absolute folder for it (XDG_CONFIG_HOME or HOME;
// APPDATA).
std::string StationSettingsPath(const std::string& executablePath, const std::string& installPrefix,
                                const TEnvironment& environment);

// The system's answers the choice of the place rests on.
struct TSettingsPlaceRules {
    // The executable's folder, links resolved where the system has them.
    std::function<std::string(const std::string& executablePath)> programFolder;
    // Whether a copy in that folder is the shared, installed one.
    std::function<bool(const std::string& folder, const std::string& installPrefix)> isInstalled;
    // The per-user file; throws ESettingsPathError when there is none.
    std::function<std::string(const TEnvironment& environment)> perUserPath;
    std::function<bool(const std::string& path)> isExistingFile;
    // Whether the user may create a file in the folder.
    std::function<bool(const std::string& folder)> canCreateFilesIn;
};

// This system's rules: settings_path_posix.cpp, settings_path_win32.cpp.
TSettingsPlaceRules SystemSettingsPlace();

// StationSettingsPath with the rules given (tests replace some of them).
std::string ChooseSettingsPath(const std::string& executablePath, const std::string& installPrefix,
                               const TEnvironment& environment, const TSettingsPlaceRules& rules);

// Creates the folder the settings file goes in, and any folder missing
// above it, readable by the user alone (on Windows the folders take the
// ACL of the one above, %APPDATA% being the user's own). Throws ESettingsPathError naming
// the folder and the reason when it cannot.
void CreateSettingsFolder(const std::string& settingsPath);

}  // namespace ziv
