#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "settings/settings_path.h"
#include "settings/settings_system.h"
#include "settings/station_settings.h"

extern char** environ;

namespace ziv {

namespace {

namespace fs = std::filesystem;

constexpr char kSettingsFolderName[] = "ZIVSound";

std::string Lookup(const TEnvironment& environment, const char* name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

// Every symbolic link resolved; a path that does not exist can hold no
// executable, and is only tidied for the comparison.
fs::path Resolved(const std::string& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path(path).lexically_normal() : resolved;
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string PerUserPath(const TEnvironment& environment) {
    // The base directory rules: a relative or empty XDG_CONFIG_HOME is
    // ignored, and so must a relative HOME be, which would put the file
    // wherever the program was started.
    fs::path base;
    const std::string config = Lookup(environment, "XDG_CONFIG_HOME");
    if (IsAbsolute(config)) {
        base = config;
    } else {
        const std::string home = Lookup(environment, "HOME");
        if (!IsAbsolute(home)) {
            throw ESettingsPathError(
                "cannot tell where the settings go: neither XDG_CONFIG_HOME nor HOME is set to "
                "the user's folder");
        }
        base = fs::path(home) / ".config";
    }
    return (base / kSettingsFolderName / kSettingsFileName).string();
}

}  // namespace

bool IsExistingFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

TEnvironment ProcessEnvironment() {
    TEnvironment environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            // The first definition wins, as with getenv().
            environment.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return environment;
}

TSettingsPlaceRules SystemSettingsPlace() {
    TSettingsPlaceRules rules;
    rules.programFolder = [](const std::string& executablePath) {
        return Resolved(executablePath).parent_path().string();
    };
    rules.isInstalled = [](const std::string& folder, const std::string& installPrefix) {
        return !installPrefix.empty() && fs::path(folder) == Resolved(installPrefix + "/bin");
    };
    rules.perUserPath = PerUserPath;
    rules.isExistingFile = IsExistingFile;
    rules.canCreateFilesIn = [](const std::string& folder) {
        return ::access(folder.c_str(), W_OK | X_OK) == 0;
    };
    return rules;
}

void CreateSettingsFolder(const std::string& settingsPath) {
    const fs::path folder = fs::path(settingsPath).parent_path();
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        // As the base directory rules ask of a folder they create: the
        // user's configuration is the user's alone.
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            throw ESettingsPathError("cannot create the settings folder " + partial.string() +
                                     ": " + std::strerror(errno));
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        throw ESettingsPathError("cannot use the settings folder " + folder.string() + ": " +
                                 std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        throw ESettingsPathError("cannot create the settings folder " + folder.string() +
                                 ": a file of that name is in the way");
    }
}

}  // namespace ziv
