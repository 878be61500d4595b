#include "ui/files/browser_rules.h"

#include <QRegularExpression>

namespace ziv {

std::vector<std::string> DirectoryChain(const std::string& dir) {
    std::vector<std::string> chain;
    if (dir.empty() || dir.front() != '/')
        return chain;
    chain.emplace_back("/");
    std::string::size_type start = 1;
    while (start < dir.size()) {
        auto end = dir.find('/', start);
        if (end == std::string::npos)
            end = dir.size();
        if (end > start)
            chain.push_back(dir.substr(0, end));
        start = end + 1;
    }
    return chain;
}

bool IsInside(const std::string& dir, const std::string& root) {
    if (root == "/")
        return !dir.empty() && dir.front() == '/';
    if (dir.size() < root.size() || dir.compare(0, root.size(), root) != 0)
        return false;
    return dir.size() == root.size() || dir[root.size()] == '/';
}

bool MatchesMask(const QString& name, const QString& masks) {
    for (const QString& part : masks.split(u';', Qt::SkipEmptyParts)) {
        const QString mask = part.trimmed();
        if (mask.isEmpty())
            continue;
        if (mask == u"*" || mask == u"*.*")
            return true;
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(mask),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch())
            return true;
    }
    return false;
}

}  // namespace ziv
