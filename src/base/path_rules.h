#pragma once

#include <string>

// The path rules the settings, the files window and the sound output
// share. They work on text alone, never on the file system, and know one
// separator: "/". (The Windows build passes its paths through the same
// rules after turning "\" into "/" at its edge.)

namespace ziv {

// The text after the last "/"; the whole text when there is none.
inline std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text up to and including the last "/"; empty when there is none.
inline std::string DirectoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The extension with its dot, from the last "." of the file-name part;
// empty when that part has no dot.
inline std::string ExtensionOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

// `name` inside `dir`, with exactly one "/" between them.
inline std::string JoinPath(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

// `dir` without trailing "/" (the root stays "/").
inline std::string NormalizeDirectory(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

}  // namespace ziv
