#include <string>

#include "settings/ansi_path_win32.h"
#include "settings/ini_ctrl.h"
#include "settings/settings_system.h"

#include "base/windows_api.h"

namespace ziv {

namespace {

// A system folder's path as the settings hold paths; empty when it cannot
// be told or written in the ANSI code page.
std::string AnsiFolder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    std::wstring buffer(MAX_PATH, L'\0');
    const UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return {};
    }
    buffer.resize(length);
    const auto ansi = ToAnsiPath(buffer);
    return ansi ? WithForwardSlashes(*ansi) : std::string();
}

}  // namespace

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);  // cut short: a longer path
    }
    // In the ANSI code page, as every path the settings hold: an executable
    // in a folder named with a character the code page lacks is given by
    // its short (8.3) form, which still opens it. Without one the path
    // cannot be told, and the settings go to the per-user file.
    const auto ansi = ToAnsiPath(buffer);
    return ansi ? WithForwardSlashes(*ansi) : std::string();
}

std::string PrefixFolder(TLMDPathPrefix prefix) {
    switch (prefix) {
        case ppWindows:
            return AnsiFolder(GetWindowsDirectoryW);
        case ppSystem:
            return AnsiFolder(GetSystemDirectoryW);
        case ppProgram:
        case ppFixed:
            break;
    }
    return {};
}

}  // namespace ziv
