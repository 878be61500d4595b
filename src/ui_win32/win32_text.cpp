#include "ui_win32/win32_text.h"

#include <cwctype>

#include "base/windows_api.h"

namespace ziv {

namespace {

std::wstring Widen(UINT codePage, std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
    return out;
}

std::string Narrow(UINT codePage, std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
    return Widen(CP_UTF8, text);
}

std::string Utf8FromWide(std::wstring_view text) {
    return Narrow(CP_UTF8, text);
}

std::wstring WideFromAnsi(std::string_view text) {
    return Widen(CP_ACP, text);
}

std::string AnsiFromWide(std::wstring_view text) {
    return Narrow(CP_ACP, text);
}

std::string ApplicationTitleFromPath(std::string_view executablePath) {
    std::wstring name = WideFromUtf8(executablePath);
    if (const size_t slash = name.find_last_of(L"/\\"); slash != std::wstring::npos)
        name.erase(0, slash + 1);
    if (const size_t dot = name.find(L'.'); dot != std::wstring::npos)
        name.resize(dot);
    for (size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(name[i])));
    return Utf8FromWide(name);
}

}  // namespace ziv
