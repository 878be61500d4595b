#pragma once

#include <string>
#include <vector>

// The rules the Windows file browser follows on names and paths, apart
// from the windows: UTF-16 text as the ...W calls take it, "\" between the
// parts of a path. No <windows.h> here.

namespace ziv::files_win32 {

// UTF-8 (the layout tables, the keyer's captions) to UTF-16 and back.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// One entry of the file-type selector.
struct TFileFilter {
    std::wstring Description;
    std::wstring Mask;
};
// The entries of a "description|mask|description|mask" text.
std::vector<TFileFilter> ParseFilter(const std::string& filterUtf8);

// Whether a file name matches a mask list such as "*.wav;*.au", ignoring
// case the way the file system does (cq.wav and CQ.WAV, ą and Ą); "*.*"
// means every file, also names without a dot.
bool MatchesMask(const std::wstring& name, const std::wstring& masks);

// The root of a full path: "C:\" or "\\server\share\"; empty when there
// is none.
std::wstring RootOf(const std::wstring& dir);
// "C:\", "C:\a", "C:\a\b" for "C:\a\b": the directories from the root down.
std::vector<std::wstring> DirectoryChain(const std::wstring& dir);
// `dir` without a trailing "\" (a root keeps its own).
std::wstring NormalizeDirectory(std::wstring dir);
// `name` inside `dir`, with exactly one "\" between them.
std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);
// The text after the last "\" or "/".
std::wstring FileNamePart(const std::wstring& path);
// Whether `dir` is `root` or lies below it, ignoring case.
bool IsInside(const std::wstring& dir, const std::wstring& root);

// Whether a label may hold the character: the settings file stores labels
// in Windows-1257 and one label a line, so the code page must hold it and
// it must not be a control character.
bool LabelCanHold(wchar_t ch);
bool LabelCanHold(const std::wstring& text);

}  // namespace ziv::files_win32
