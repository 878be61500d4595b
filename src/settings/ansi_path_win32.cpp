#include "settings/ansi_path_win32.h"

#include <algorithm>

#include "base/windows_api.h"

namespace ziv {

namespace {

std::optional<std::string> ToAnsiExactly(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int wideLength = static_cast<int>(text.size());
    // With UTF-8 for the ANSI code page (a Windows 10 option) every
    // character has its place, and the call takes neither the flag nor the
    // question, only the refusal of a lone surrogate.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* const askLossy = utf8 ? nullptr : &lossy;
    const int length =
        WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, nullptr, 0, nullptr, askLossy);
    if (length <= 0 || lossy) {
        return std::nullopt;
    }
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, result.data(), length, nullptr,
                        askLossy);
    return lossy ? std::nullopt : std::optional<std::string>(result);
}

std::wstring ToWide(const std::string& ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int ansiLength = static_cast<int>(ansi.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, result.data(), length);
    return result;
}

}  // namespace

std::optional<std::string> ToAnsiPath(const std::wstring& path) {
    if (auto exact = ToAnsiExactly(path)) {
        return exact;
    }
    const DWORD length = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) {
        return std::nullopt;
    }
    std::wstring shortPath(length, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), shortPath.data(), length);
    if (written == 0 || written >= length) {
        return std::nullopt;
    }
    shortPath.resize(written);
    return ToAnsiExactly(shortPath);
}

std::string WithForwardSlashes(const std::string& ansiPath) {
    std::wstring wide = ToWide(ansiPath);
    std::replace(wide.begin(), wide.end(), L'\\', L'/');
    // Back from text that came from the code page: nothing is lost.
    return ToAnsiExactly(wide).value_or(ansiPath);
}

std::wstring ToWidePath(const std::string& ansiPath) {
    std::wstring wide = ToWide(ansiPath);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

std::string SystemMessage(unsigned long code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text =
        length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace ziv
