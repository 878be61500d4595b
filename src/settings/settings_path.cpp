#include "settings/settings_path.h"

#include "base/path_rules.h"
#include "settings/station_settings.h"

namespace ziv {

std::string ChooseSettingsPath(const std::string& executablePath, const std::string& installPrefix,
                               const TEnvironment& environment, const TSettingsPlaceRules& rules) {
    if (executablePath.empty()) {
        return rules.perUserPath(environment);
    }
    const std::string folder = rules.programFolder(executablePath);
    // An installed copy is shared: root, who can write its folder, must
    // not leave a file there that every user would then read.
    if (rules.isInstalled(folder, installPrefix)) {
        return rules.perUserPath(environment);
    }
    const std::string beside =
        folder.empty() ? std::string(kSettingsFileName) : JoinPath(folder, kSettingsFileName);
    if (rules.isExistingFile(beside) || rules.canCreateFilesIn(folder)) {
        return beside;
    }
    // A copy in a folder its user cannot write would lose every setting.
    return rules.perUserPath(environment);
}

std::string StationSettingsPath(const std::string& executablePath, const std::string& installPrefix,
                                const TEnvironment& environment) {
    return ChooseSettingsPath(executablePath, installPrefix, environment, SystemSettingsPlace());
}

}  // namespace ziv
