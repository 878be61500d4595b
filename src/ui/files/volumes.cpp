#include "ui/files/volumes.h"

#include <QFile>
#include <QStorageInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/path_rules.h"

namespace ziv {

bool IsBrowsableVolume(const QString& mountPoint, const QByteArray& fileSystemType) {
    static const QByteArray pseudo[] = {
        "proc",       "sysfs",      "devtmpfs",  "devpts",      "cgroup",   "cgroup2",
        "securityfs", "debugfs",    "tracefs",   "pstore",      "bpf",      "mqueue",
        "hugetlbfs",  "configfs",   "fusectl",   "binfmt_misc", "autofs",   "efivarfs",
        "nsfs",       "rpc_pipefs", "selinuxfs", "rootfs",      "squashfs", "ramfs",
    };
    for (const QByteArray& type : pseudo)
        if (fileSystemType == type)
            return false;
    if (mountPoint == u"/")
        return true;
    const auto under = [&](QLatin1StringView prefix) {
        return mountPoint == prefix || mountPoint.startsWith(prefix + u'/');
    };
    if (under(QLatin1StringView("/run/media")))
        return true;
    for (QLatin1StringView prefix :
         {QLatin1StringView("/proc"), QLatin1StringView("/sys"), QLatin1StringView("/dev"),
          QLatin1StringView("/run"), QLatin1StringView("/snap"), QLatin1StringView("/var/run"),
          QLatin1StringView("/var/lock")})
        if (under(prefix))
            return false;
    return true;
}

std::vector<TVolume> BrowsableVolumes() {
    std::vector<TVolume> volumes;
    volumes.push_back({"/", QStringLiteral("/")});
    std::vector<TVolume> others;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        const QString rootPath = info.rootPath();
        if (!IsBrowsableVolume(rootPath, info.fileSystemType()))
            continue;
        const std::string root = NormalizeDirectory(QFile::encodeName(rootPath).toStdString());
        std::error_code ec;
        // Bind mounts of single files (containers mount /etc/hosts so) are no drives.
        if (!std::filesystem::is_directory(std::filesystem::path(root), ec))
            continue;
        QString caption = QFile::decodeName(QByteArray::fromStdString(root));
        if (!info.name().isEmpty())
            caption += QStringLiteral("  [%1]").arg(info.name());
        if (root == "/") {
            volumes.front().Caption = caption;
            continue;
        }
        const bool seen = std::any_of(others.begin(), others.end(),
                                      [&](const TVolume& v) { return v.Root == root; });
        if (!seen)
            others.push_back({root, caption});
    }
    std::sort(others.begin(), others.end(),
              [](const TVolume& a, const TVolume& b) { return a.Root < b.Root; });
    volumes.insert(volumes.end(), others.begin(), others.end());
    return volumes;
}

}  // namespace ziv
