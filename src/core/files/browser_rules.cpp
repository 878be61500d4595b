#include "core/files/browser_rules.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/path_rules.h"
#include "settings/cp1257.h"

namespace ziv {

namespace {

// "*" any run, "?" one character.
bool WildcardMatch(const std::u32string& name, const std::u32string& mask) {
    std::size_t n = 0, m = 0, starMask = std::u32string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == U'*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::u32string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == U'*')
        ++m;
    return m == mask.size();
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The names between the "/" of a path, empty ones skipped.
std::vector<std::string> NonEmptyNames(const std::string& dir) {
    std::vector<std::string> names = Split(dir, '/');
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    return names;
}

}  // namespace

std::string RootOf(const std::string& dir, TPathStyle style) {
    if (style == TPathStyle::Posix)
        return !dir.empty() && dir[0] == '/' ? "/" : "";
    if (dir.size() >= 3 && dir[1] == ':' && dir[2] == '/')
        return dir.substr(0, 3);
    if (dir.size() > 2 && dir[0] == '/' && dir[1] == '/') {
        // //server/share/: the share is the root.
        std::size_t slash = dir.find('/', 2);
        if (slash == std::string::npos)
            return {};
        slash = dir.find('/', slash + 1);
        return slash == std::string::npos ? dir + "/" : dir.substr(0, slash + 1);
    }
    return {};
}

std::string NormalizedDirectory(std::string dir, TPathStyle style) {
    const std::size_t keep = std::max<std::size_t>(RootOf(dir, style).size(), 1);
    while (dir.size() > keep && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::vector<std::string> DirectoryChain(const std::string& dir, TPathStyle style) {
    std::vector<std::string> chain;
    const std::string root = RootOf(dir, style);
    if (root.empty())
        return chain;
    chain.push_back(root);
    // A share's root may be longer than the path it was taken from: "//srv/share".
    const std::string below = dir.size() > root.size() ? dir.substr(root.size()) : "";
    for (const std::string& name : NonEmptyNames(below))
        chain.push_back(JoinPath(chain.back(), name));
    return chain;
}

bool IsInside(const std::string& dir, const std::string& root, TPathStyle style,
              const TFoldCase& fold) {
    const std::string base = NormalizedDirectory(root, style);
    if (base.empty() || dir.size() < base.size())
        return false;
    const std::string head = dir.substr(0, base.size());
    if (style == TPathStyle::Windows ? fold(head) != fold(base) : head != base)
        return false;
    return dir.size() == base.size() || base.back() == '/' || dir[base.size()] == '/';
}

std::vector<TFileFilter> ParseFilter(const std::string& filter) {
    const std::vector<std::string> parts = Split(filter, '|');
    std::vector<TFileFilter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        filters.push_back({parts[i], parts[i + 1]});
    return filters;
}

bool MatchesMask(const std::string& name, const std::string& masks, const TFoldCase& fold) {
    const std::u32string folded = fold(name);
    for (const std::string& part : Split(masks, ';')) {
        const std::string mask = Trimmed(part);
        if (mask == "*" || mask == "*.*")
            return true;
        if (!mask.empty() && WildcardMatch(folded, fold(mask)))
            return true;
    }
    return false;
}

std::string MinimizeName(const std::string& dir, const TTextWidth& textWidth, int maxWidth) {
    if (textWidth(dir) <= maxWidth)
        return dir;
    const std::vector<std::string> names = NonEmptyNames(dir);
    if (names.empty())
        return dir;
    const bool rooted = dir.front() == '/';
    // names.back() is always kept; dropped counts the names before it that are gone.
    std::string result = dir;
    for (std::size_t dropped = 0; textWidth(result) > maxWidth; ++dropped) {
        if (dropped + 1 == names.size())
            return dropped > 0 ? ".../" + names.back() : names.back();
        result = rooted ? "/..." : "...";
        for (std::size_t i = dropped + 1; i < names.size(); ++i)
            result += "/" + names[i];
    }
    return result;
}

bool LabelCanHold(char32_t ch) {
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0))
        return false;
    return IsCp1257Representable(ch);
}

bool IsBrowsableVolume(const std::string& mountPoint, const std::string& fileSystemType) {
    static constexpr std::array<std::string_view, 24> pseudo = {
        "proc",       "sysfs",      "devtmpfs",  "devpts",      "cgroup",   "cgroup2",
        "securityfs", "debugfs",    "tracefs",   "pstore",      "bpf",      "mqueue",
        "hugetlbfs",  "configfs",   "fusectl",   "binfmt_misc", "autofs",   "efivarfs",
        "nsfs",       "rpc_pipefs", "selinuxfs", "rootfs",      "squashfs", "ramfs",
    };
    if (std::find(pseudo.begin(), pseudo.end(), fileSystemType) != pseudo.end())
        return false;
    if (mountPoint == "/")
        return true;
    const auto under = [&](std::string_view prefix) {
        return mountPoint == prefix ||
               (mountPoint.starts_with(prefix) && mountPoint[prefix.size()] == '/');
    };
    if (under("/run/media"))
        return true;
    for (std::string_view prefix :
         {"/proc", "/sys", "/dev", "/run", "/snap", "/var/run", "/var/lock"})
        if (under(prefix))
            return false;
    return true;
}

}  // namespace ziv
