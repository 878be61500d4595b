#include "ui_win32/files/folder_reader.h"

#include <algorithm>

#include "ui_win32/files/browser_rules.h"

#include "base/windows_api.h"

namespace ziv::files_win32 {

namespace {

void SortIgnoringCase(std::vector<std::wstring>& names) {
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const int c = lstrcmpiW(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
}

}  // namespace

TFolderEntries ReadFolder(const std::wstring& dir) {
    TFolderEntries out;
    WIN32_FIND_DATAW data;
    const std::wstring pattern = JoinPath(dir, L"*");
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty drive root has no entries at all, not even "."
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            out.Ok = true;
        return out;
    }
    out.Ok = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            out.Folders.push_back(name);
        else
            out.Files.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    SortIgnoringCase(out.Folders);
    SortIgnoringCase(out.Files);
    return out;
}

std::vector<std::wstring> LogicalDrives() {
    std::vector<std::wstring> drives;
    const DWORD length = GetLogicalDriveStringsW(0, nullptr);
    if (length == 0)
        return drives;
    std::wstring buffer(length, L'\0');
    const DWORD written = GetLogicalDriveStringsW(length, buffer.data());
    if (written == 0 || written >= length)
        return drives;
    for (const wchar_t* drive = buffer.c_str(); *drive != L'\0'; drive += wcslen(drive) + 1)
        drives.emplace_back(drive);
    return drives;
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

}  // namespace ziv::files_win32
