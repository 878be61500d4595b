#pragma once

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
// executablePath (symbolic links are resolved first):
// - a copy installed under installPrefix (its executable in
//   installPrefix + "/bin"), whoever runs it: one file per user,
//   $XDG_CONFIG_HOME/ZIVSound/ZIVSound.ini, or ~/.config/ZIVSound/ZIVSound.ini
//   when XDG_CONFIG_HOME is unset, empty or not an absolute path;
// - any other copy: "ZIVSound.ini" beside the executable when that file
//   exists or the user can create it there, else the per-user file.
// An empty installPrefix means no copy counts as installed. Throws
// ESettingsPathError when the per-user file is needed and neither
// XDG_CONFIG_HOME nor HOME is an absolute path.
std::string StationSettingsPath(const std::string& executablePath, const std::string& installPrefix,
                                const TEnvironment& environment);

// Creates the folder the settings file goes in, and any folder missing
// above it, readable by the user alone. Throws ESettingsPathError naming
// the folder and the reason when it cannot.
void CreateSettingsFolder(const std::string& settingsPath);

}  // namespace ziv
