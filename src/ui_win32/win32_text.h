#pragma once

#include <string>
#include <string_view>

namespace ziv {

// UTF-8 (the layout tables, the labels) <-> UTF-16 (the wide API).
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// The ANSI code page (paths, the port text kept in the settings) <-> UTF-16.
std::wstring WideFromAnsi(std::string_view text);
std::string AnsiFromWide(std::wstring_view text);

// The application title: the executable's file name without its folder,
// cut before its first dot, every character after the first lower-cased
// ("C:/Radio/ZIVSound.exe" -> "Zivsound"), as the Linux program makes it.
std::string ApplicationTitleFromPath(std::string_view executablePath);

}  // namespace ziv
