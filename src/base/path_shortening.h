#pragma once

#include <functional>
#include <string>
#include <vector>

// The directory caption above the directory list shows as much of the
// directory as fits its label. The rule works on UTF-8 text and a
// text-width function, so every flavour of the window measures in its own
// font. Names are only ever dropped whole, so a multi-byte character is
// never cut.

namespace ziv {

using TTextWidth = std::function<int(const std::string&)>;

namespace path_shortening_detail {

inline std::vector<std::string> NonEmptyNames(const std::string& dir) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < dir.size()) {
        std::size_t end = dir.find('/', start);
        if (end == std::string::npos)
            end = dir.size();
        if (end > start)
            names.push_back(dir.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// "..." and the names from `first` on, joined by "/", after a "/" when the
// directory was rooted.
inline std::string Shortened(const std::vector<std::string>& names, std::size_t first,
                             bool rooted) {
    std::string text = rooted ? "/..." : "...";
    for (std::size_t i = first; i < names.size(); ++i)
        text += "/" + names[i];
    return text;
}

}  // namespace path_shortening_detail

// `dir` as it fits `maxWidth`: leading names after the root are replaced
// with "..." one at a time, "/home/op/msg/cq" -> "/.../msg/cq" ->
// "/.../cq"; when only the last name is left the root goes too, ".../cq",
// and a directory of one name that does not fit is shown as that name.
inline std::string MinimizeName(const std::string& dir, const TTextWidth& textWidth, int maxWidth) {
    using namespace path_shortening_detail;
    if (textWidth(dir) <= maxWidth)
        return dir;
    const std::vector<std::string> names = NonEmptyNames(dir);
    if (names.empty())
        return dir;
    const bool rooted = !dir.empty() && dir.front() == '/';
    // names.back() is always kept; dropped counts the names before it that are gone.
    std::string result = dir;
    for (std::size_t dropped = 0; textWidth(result) > maxWidth; ++dropped) {
        if (dropped + 1 == names.size())
            return dropped > 0 ? ".../" + names.back() : names.back();
        result = Shortened(names, dropped + 1, rooted);
    }
    return result;
}

}  // namespace ziv
