#include "ui_win32/files/browser_rules.h"

#include <algorithm>

#include "settings/cp1257.h"

#include "base/windows_api.h"

namespace ziv::files_win32 {

namespace {

// Upper case as the file system compares names, not only A..Z.
std::wstring Upper(std::wstring text) {
    if (!text.empty())
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// "*" any run, "?" one character; both already upper-cased.
bool WildcardMatch(const std::wstring& name, const std::wstring& mask) {
    std::size_t n = 0, m = 0, starMask = std::wstring::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == L'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == L'*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::wstring::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*')
        ++m;
    return m == mask.size();
}

bool IsSeparator(wchar_t ch) {
    return ch == L'\\' || ch == L'/';
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string WideToUtf8(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::vector<TFileFilter> ParseFilter(const std::string& filterUtf8) {
    std::vector<std::wstring> parts;
    const std::wstring filter = Utf8ToWide(filterUtf8);
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = filter.find(L'|', start);
        parts.push_back(filter.substr(start, bar - start));
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    std::vector<TFileFilter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        filters.push_back({parts[i], parts[i + 1]});
    return filters;
}

bool MatchesMask(const std::wstring& name, const std::wstring& masks) {
    const std::wstring upperName = Upper(name);
    std::size_t start = 0;
    while (start <= masks.size()) {
        std::size_t end = masks.find(L';', start);
        if (end == std::wstring::npos)
            end = masks.size();
        const std::wstring mask = Trimmed(masks.substr(start, end - start));
        if (mask == L"*" || mask == L"*.*")
            return true;
        if (!mask.empty() && WildcardMatch(upperName, Upper(mask)))
            return true;
        start = end + 1;
    }
    return false;
}

std::wstring RootOf(const std::wstring& dir) {
    if (dir.size() >= 3 && dir[1] == L':' && IsSeparator(dir[2]))
        return dir.substr(0, 2) + L"\\";
    if (dir.size() > 2 && IsSeparator(dir[0]) && IsSeparator(dir[1])) {
        // \\server\share\: the share is the root.
        std::size_t slash = dir.find_first_of(L"\\/", 2);
        if (slash == std::wstring::npos)
            return {};
        slash = dir.find_first_of(L"\\/", slash + 1);
        return slash == std::wstring::npos ? dir + L"\\" : dir.substr(0, slash + 1);
    }
    return {};
}

std::vector<std::wstring> DirectoryChain(const std::wstring& dir) {
    std::vector<std::wstring> chain;
    const std::wstring root = RootOf(dir);
    if (root.empty())
        return chain;
    chain.push_back(root);
    std::size_t start = root.size();
    while (start < dir.size()) {
        std::size_t end = dir.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = dir.size();
        if (end > start)
            chain.push_back(JoinPath(chain.back(), dir.substr(start, end - start)));
        start = end + 1;
    }
    return chain;
}

std::wstring NormalizeDirectory(std::wstring dir) {
    const std::size_t rootSize = RootOf(dir).size();
    while (dir.size() > std::max<std::size_t>(rootSize, 1) && IsSeparator(dir.back()))
        dir.pop_back();
    return dir;
}

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) {
    if (!dir.empty() && IsSeparator(dir.back()))
        return dir + name;
    return dir + L"\\" + name;
}

std::wstring FileNamePart(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsInside(const std::wstring& dir, const std::wstring& root) {
    const std::wstring base = NormalizeDirectory(root);
    if (dir.size() < base.size() || Upper(dir.substr(0, base.size())) != Upper(base))
        return false;
    return dir.size() == base.size() || IsSeparator(base.back()) || IsSeparator(dir[base.size()]);
}

bool LabelCanHold(wchar_t ch) {
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0))
        return false;
    // A surrogate half is never a Windows-1257 character.
    return IsCp1257Representable(static_cast<char32_t>(ch));
}

bool LabelCanHold(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t ch) { return LabelCanHold(ch); });
}

}  // namespace ziv::files_win32
