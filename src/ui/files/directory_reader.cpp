#include "ui/files/directory_reader.h"

#include <QStorageInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/files/browser_rules.h"
#include "ui/files/raw_names.h"

namespace ziv {

namespace fs = std::filesystem;

namespace {

void SortByDisplayName(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = QString::compare(DisplayName(a), DisplayName(b), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

}  // namespace

TDirectoryEntries TDirectoryReader::Read(const std::string& dir) {
    TDirectoryEntries out;
    std::error_code ec;
    fs::directory_iterator it(fs::path(dir), fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return out;
    out.Ok = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().native();
        if (name.empty() || name.front() == '.')
            continue;
        std::error_code statusError;
        // Follows symbolic links: a link to a directory is browsed like one.
        const fs::file_status status = it->status(statusError);
        if (statusError)
            continue;
        if (fs::is_directory(status))
            out.Directories.push_back(name);
        else if (fs::is_regular_file(status))
            out.Files.push_back(name);
    }
    SortByDisplayName(out.Directories);
    SortByDisplayName(out.Files);
    return out;
}

std::u32string TDirectoryReader::Folded(const std::string& name) const {
    const QList<uint> codePoints = DisplayName(name).toCaseFolded().toUcs4();
    return std::u32string(codePoints.begin(), codePoints.end());
}

std::vector<TVolume> BrowsableVolumes() {
    std::vector<TVolume> volumes{{"/", "/"}};
    std::vector<TVolume> others;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        const std::string mountPoint = QFile::encodeName(info.rootPath()).toStdString();
        if (!IsBrowsableVolume(mountPoint, info.fileSystemType().toStdString()))
            continue;
        const std::string root = NormalizedDirectory(mountPoint, TPathStyle::Posix);
        std::error_code ec;
        // Bind mounts of single files (containers mount /etc/hosts so) are no drives.
        if (!fs::is_directory(fs::path(root), ec))
            continue;
        QString caption = DisplayName(root);
        if (!info.name().isEmpty())
            caption += QStringLiteral("  [%1]").arg(info.name());
        if (root == "/") {
            volumes.front().Caption = caption.toStdString();
            continue;
        }
        const bool seen = std::any_of(others.begin(), others.end(),
                                      [&](const TVolume& v) { return v.Root == root; });
        if (!seen)
            others.push_back({root, caption.toStdString()});
    }
    std::sort(others.begin(), others.end(),
              [](const TVolume& a, const TVolume& b) { return a.Root < b.Root; });
    volumes.insert(volumes.end(), others.begin(), others.end());
    return volumes;
}

}  // namespace ziv
