#include "ui_win32/files/folder_reader.h"

#include <algorithm>

#include "settings/ansi_path_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"

namespace ziv::files_win32 {

namespace {

void SortIgnoringCase(std::vector<std::wstring>& names) {
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const int c = lstrcmpiW(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
}

std::vector<std::string> Paths(const std::vector<std::wstring>& names) {
    std::vector<std::string> paths;
    for (const std::wstring& name : names)
        paths.push_back(PathFromWide(name));
    return paths;
}

std::wstring DriveCaption(const std::wstring& root) {
    std::wstring caption = root.substr(0, std::min<std::size_t>(root.size(), 2));
    CharLowerBuffW(caption.data(), static_cast<DWORD>(caption.size()));
    // Only a fixed drive is asked for its label: a floppy or a network
    // drive can keep the window waiting.
    if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED)
        return caption;
    wchar_t label[MAX_PATH + 1] = {};
    if (GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                              0) &&
        label[0] != L'\0')
        caption += std::wstring(L" [") + label + L"]";
    return caption;
}

}  // namespace

std::string PathFromWide(std::wstring_view wide) {
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        if (c == L'\\')
            c = '/';
        const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        static constexpr unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        out += static_cast<char>(length == 1 ? c : lead[length] | (c >> (6 * (length - 1))));
        for (int k = length - 2; k >= 0; --k)
            out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return out;
}

std::wstring WideFromPath(std::string_view path) {
    std::wstring out;
    for (std::size_t i = 0; i < path.size();) {
        const auto first = static_cast<unsigned char>(path[i]);
        const int length = first < 0xC0 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? first : first & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < path.size(); ++k)
            c = c << 6 | (static_cast<unsigned char>(path[i + k]) & 0x3F);
        i += static_cast<std::size_t>(length);
        if (c == '/')
            c = L'\\';
        if (c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

TDirectoryEntries TFolderReader::Read(const std::string& dir) {
    TDirectoryEntries out;
    std::wstring pattern = WideFromPath(dir);
    pattern += pattern.ends_with(L'\\') ? L"*" : L"\\*";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty drive root has no entries at all, not even "."
        out.Ok = GetLastError() == ERROR_FILE_NOT_FOUND;
        return out;
    }
    out.Ok = true;
    std::vector<std::wstring> folders, files;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            continue;
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? folders : files).push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    SortIgnoringCase(folders);
    SortIgnoringCase(files);
    out.Directories = Paths(folders);
    out.Files = Paths(files);
    return out;
}

std::u32string TFolderReader::Folded(const std::string& name) const {
    std::wstring wide = WideFromPath(name);
    if (!wide.empty())
        CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return std::u32string(wide.begin(), wide.end());
}

std::optional<std::string> TFolderReader::SlotPath(const std::string& path) const {
    const std::optional<std::string> ansi = ToAnsiPath(WideFromPath(path));
    if (!ansi)
        return std::nullopt;
    return WithForwardSlashes(*ansi);
}

std::vector<TVolume> LogicalDrives() {
    std::vector<TVolume> drives;
    const DWORD length = GetLogicalDriveStringsW(0, nullptr);
    if (length == 0)
        return drives;
    std::wstring buffer(length, L'\0');
    const DWORD written = GetLogicalDriveStringsW(length, buffer.data());
    if (written == 0 || written >= length)
        return drives;
    for (const wchar_t* drive = buffer.c_str(); *drive != L'\0'; drive += wcslen(drive) + 1)
        drives.push_back({PathFromWide(drive), Utf8FromWide(DriveCaption(drive))});
    return drives;
}

}  // namespace ziv::files_win32
