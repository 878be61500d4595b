#include <algorithm>
#include <atomic>
#include <cwchar>
#include <string>

#include "base/path_rules.h"
#include "settings/ansi_path_win32.h"
#include "settings/settings_path.h"
#include "settings/settings_system.h"
#include "settings/station_settings.h"

#include "base/windows_api.h"

namespace ziv {

namespace {

constexpr char kSettingsFolderName[] = "ZIVSound";

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows matches variable names without regard to case.
std::string Lookup(const TEnvironment& environment, const std::string& name) {
    for (const auto& [key, value] : environment) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(),
                       [](char a, char b) { return UpperAscii(a) == UpperAscii(b); })) {
            return value;
        }
    }
    return {};
}

// "C:\...", "C:/..." or a network path "\\server\share\...".
bool IsAbsolute(const std::string& path) {
    const auto isSlash = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 3 &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
        path[1] == ':' && isSlash(path[2])) {
        return true;
    }
    return path.size() >= 3 && isSlash(path[0]) && isSlash(path[1]) && !isSlash(path[2]);
}

std::string PerUserPath(const TEnvironment& environment) {
    const std::string appData = Lookup(environment, "APPDATA");
    if (!IsAbsolute(appData)) {
        throw ESettingsPathError(
            "cannot tell where the settings go: APPDATA is not set to the user's folder");
    }
    return JoinPath(JoinPath(WithForwardSlashes(appData), kSettingsFolderName), kSettingsFileName);
}

// Tries to create a file, which goes again when its handle closes: only
// that sees the folder's ACL, which no attribute shows. A 64-bit program
// is never redirected to the VirtualStore, so a folder such as Program
// Files refuses the probe just as it would refuse the settings file.
bool CanCreateFilesIn(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe =
            JoinPath(folder, ".ZIVSound." + std::to_string(GetCurrentProcessId()) + "." +
                                 std::to_string(counter++) + ".probe");
        const HANDLE file = CreateFileW(
            ToWidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

// Creates folder after the missing ones above it.
void MakeFolder(const std::string& folder) {
    const DWORD attributes = GetFileAttributesW(ToWidePath(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return;
        }
        throw ESettingsPathError("cannot create the settings folder " + folder +
                                 ": a file of that name is in the way");
    }
    const std::string parent = NormalizeDirectory(DirectoryPart(folder));
    if (!parent.empty() && parent != folder && parent != "/") {
        MakeFolder(parent);  // ends at a drive ("C:") or a share, which exist
    }
    // With no security given the folder takes the ACL of the one above:
    // under %APPDATA%, the user's alone.
    if (!CreateDirectoryW(ToWidePath(folder).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
        throw ESettingsPathError("cannot create the settings folder " + folder + ": " +
                                 SystemMessage(GetLastError()));
    }
}

}  // namespace

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(ToWidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TEnvironment ProcessEnvironment() {
    TEnvironment environment;
    wchar_t* const block = GetEnvironmentStringsW();
    if (block == nullptr) {
        return environment;
    }
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring text(entry);
        // Names such as "=C:", each drive's working folder, begin with "=".
        const std::size_t equals = text.find(L'=', 1);
        if (equals == std::wstring::npos) {
            continue;
        }
        // In the ANSI code page, as the paths are (a value that names a
        // file by its short form if need be); a variable the code page
        // cannot hold is left out rather than passed on garbled.
        const auto name = ToAnsiPath(text.substr(0, equals));
        const auto value = ToAnsiPath(text.substr(equals + 1));
        if (name && value) {
            environment.emplace(*name, *value);
        }
    }
    FreeEnvironmentStringsW(block);
    return environment;
}

TSettingsPlaceRules SystemSettingsPlace() {
    TSettingsPlaceRules rules;
    // Windows programs are started by their real path: nothing to resolve.
    rules.programFolder = [](const std::string& executablePath) {
        return NormalizeDirectory(DirectoryPart(WithForwardSlashes(executablePath)));
    };
    // Program Files is never written by a user: CanCreateFilesIn sends its
    // copies to the per-user file without a rule of its own.
    rules.isInstalled = [](const std::string&, const std::string&) { return false; };
    rules.perUserPath = PerUserPath;
    rules.isExistingFile = IsExistingFile;
    rules.canCreateFilesIn = CanCreateFilesIn;
    return rules;
}

void CreateSettingsFolder(const std::string& settingsPath) {
    const std::string folder = NormalizeDirectory(DirectoryPart(WithForwardSlashes(settingsPath)));
    if (!folder.empty()) {
        MakeFolder(folder);
    }
}

}  // namespace ziv
