#pragma once

#include <QString>
#include <string>
#include <vector>

// The rules the browser's controls follow on names and paths, apart from
// the file system.

namespace ziv {

// "/", "/a", "/a/b" for "/a/b": the directories from the root down.
std::vector<std::string> DirectoryChain(const std::string& dir);
// True when `dir` is `root` or lies below it.
bool IsInside(const std::string& dir, const std::string& root);

// Whether a file name matches a mask list such as "*.wav;*.au". Matching
// ignores case, so CQ.WAV is a WAV file; "*.*" means every file, as
// "Visi failai (*.*)" promises, also names without a dot.
bool MatchesMask(const QString& name, const QString& masks);

}  // namespace ziv
