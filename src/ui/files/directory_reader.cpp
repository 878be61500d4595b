#include "ui/files/directory_reader.h"

#include <QString>
#include <algorithm>
#include <filesystem>
#include <system_error>

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

TDirectoryEntries ReadDirectory(const std::string& dir) {
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

}  // namespace ziv
