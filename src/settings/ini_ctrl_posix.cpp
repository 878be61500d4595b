#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "settings/ini_ctrl.h"
#include "settings/settings_system.h"

namespace ziv {

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            // An executable replaced while it runs (an upgrade) is reported
            // with this suffix; its directory is still the right one.
            constexpr std::string_view deleted = " (deleted)";
            if (path.ends_with(deleted)) {
                path.resize(path.size() - deleted.size());
            }
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string PrefixFolder(TLMDPathPrefix prefix) {
    if (prefix == ppSystem) {
        return "/etc";
    }
    if (prefix != ppWindows) {
        return {};
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

}  // namespace ziv
