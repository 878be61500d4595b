#include "ui_win32/files/files_browser.h"

#include <algorithm>

#include "base/path_shortening.h"
#include "ui_win32/dpi_win32.h"
#include "ui_win32/files/folder_reader.h"

#include "base/windows_api.h"

namespace ziv::files_win32 {

namespace {

void Refuse() {
    MessageBeep(MB_ICONHAND);
}

std::wstring Swapped(std::wstring text, wchar_t from, wchar_t to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

}  // namespace

TFilesBrowser::TFilesBrowser(const TControls& controls, const std::string& filterUtf8)
    : c_(controls), filters_(ParseFilter(filterUtf8)) {
    mask_ = filters_.empty() ? L"*.*" : filters_.front().Mask;
    for (const TFileFilter& filter : filters_)
        SendMessageW(c_.Filter, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(filter.Description.c_str()));
    SendMessageW(c_.Filter, CB_SETCURSEL, 0, 0);
}

void TFilesBrowser::Start(const std::wstring& dir) {
    drives_ = LogicalDrives();
    SendMessageW(c_.Drive, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& root : drives_)
        SendMessageW(c_.Drive, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(DriveCaption(root).c_str()));
    bool listed = SetDirectory(dir);
    for (std::size_t i = 0; !listed && i < drives_.size(); ++i)
        listed = SetDirectory(drives_[i]);
    ShowDriveOf(directory_);
}

bool TFilesBrowser::SetDirectory(const std::wstring& dir) {
    const std::wstring wanted = NormalizeDirectory(dir);
    if (RootOf(wanted).empty())
        return false;
    const TFolderEntries entries = ReadFolder(wanted);
    if (!entries.Ok)
        return false;
    const bool changed = wanted != directory_;
    directory_ = wanted;
    FillDirList(entries.Folders);
    if (changed) {
        // The window points the file list at every new directory, linked
        // or not.
        FillFileList({});
        if (linked_) {
            UpdateLabel();
            ShowDriveOf(directory_);
        }
    }
    return true;
}

void TFilesBrowser::Refresh() {
    const TFolderEntries entries = ReadFolder(directory_);
    if (entries.Ok)
        FillDirList(entries.Folders);
    FillFileList(SelectedFile());
}

void TFilesBrowser::Link() {
    if (linked_)
        return;
    linked_ = true;
    UpdateLabel();
    FillFileEdit();
}

void TFilesBrowser::FileListSelectionChanged() {
    FillFileEdit();
    Link();
}

void TFilesBrowser::DirListDoubleClicked() {
    const auto row = static_cast<int>(SendMessageW(c_.DirList, LB_GETCURSEL, 0, 0));
    if (row < 0 || row >= static_cast<int>(dirPaths_.size()))
        return;
    const std::wstring path = dirPaths_[static_cast<std::size_t>(row)];
    if (path != directory_ && !SetDirectory(path))
        Refuse();
}

void TFilesBrowser::FilterChosen() {
    if (!linked_)
        return;
    const auto index = static_cast<int>(SendMessageW(c_.Filter, CB_GETCURSEL, 0, 0));
    if (index < 0 || index >= static_cast<int>(filters_.size()))
        return;
    mask_ = filters_[static_cast<std::size_t>(index)].Mask;
    FillFileList({});
}

void TFilesBrowser::DriveChosen() {
    if (!linked_)
        return;
    const auto index = static_cast<int>(SendMessageW(c_.Drive, CB_GETCURSEL, 0, 0));
    if (index < 0 || index >= static_cast<int>(drives_.size()))
        return;
    if (!SetDirectory(drives_[static_cast<std::size_t>(index)])) {
        Refuse();
        ShowDriveOf(directory_);
    }
}

std::wstring TFilesBrowser::SelectedFile() const {
    const auto row = static_cast<int>(SendMessageW(c_.FileList, LB_GETCURSEL, 0, 0));
    if (row < 0 || row >= static_cast<int>(fileNames_.size()))
        return {};
    return fileNames_[static_cast<std::size_t>(row)];
}

std::wstring TFilesBrowser::ShortCaption(const std::wstring& dir) const {
    // The shortening rule works on UTF-8 with "/"; the label shows "\".
    const auto width = [this](const std::string& text) {
        return TextSize(c_.DirLabel, Swapped(Utf8ToWide(text), L'/', L'\\')).width;
    };
    RECT client{};
    GetClientRect(c_.DirLabel, &client);
    const std::string shortened =
        MinimizeName(WideToUtf8(Swapped(dir, L'\\', L'/')), width, client.right);
    return Swapped(Utf8ToWide(shortened), L'/', L'\\');
}

void TFilesBrowser::FillDirList(const std::vector<std::wstring>& folders) {
    dirPaths_.clear();
    SendMessageW(c_.DirList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(c_.DirList, LB_RESETCONTENT, 0, 0);
    // Each row's depth, its indentation, is its item data.
    const auto add = [this](const std::wstring& text, std::size_t depth) {
        const LRESULT row =
            SendMessageW(c_.DirList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(c_.DirList, LB_SETITEMDATA, static_cast<WPARAM>(row),
                     static_cast<LPARAM>(depth));
    };
    for (const std::wstring& path : DirectoryChain(directory_)) {
        add(dirPaths_.empty() ? path : FileNamePart(path), dirPaths_.size());
        dirPaths_.push_back(path);
    }
    const auto current = static_cast<WPARAM>(dirPaths_.size()) - 1;
    for (const std::wstring& name : folders) {
        add(name, current + 1);
        dirPaths_.push_back(JoinPath(directory_, name));
    }
    SendMessageW(c_.DirList, LB_SETCURSEL, current, 0);
    // The current directory at the top, so that its subdirectories show below it.
    SendMessageW(c_.DirList, LB_SETTOPINDEX, current, 0);
    SendMessageW(c_.DirList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(c_.DirList, nullptr, TRUE);
}

void TFilesBrowser::FillFileList(const std::wstring& keepSelected) {
    fileNames_.clear();
    SendMessageW(c_.FileList, LB_RESETCONTENT, 0, 0);
    const TFolderEntries entries = ReadFolder(directory_);
    for (const std::wstring& name : entries.Files) {
        if (!MatchesMask(name, mask_))
            continue;
        SendMessageW(c_.FileList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (!keepSelected.empty() && name == keepSelected)
            SendMessageW(c_.FileList, LB_SETCURSEL, fileNames_.size(), 0);
        fileNames_.push_back(name);
    }
    FillFileEdit();
}

void TFilesBrowser::FillFileEdit() {
    if (!linked_)
        return;
    const std::wstring name = SelectedFile();
    SetWindowTextW(c_.FileEdit, name.empty() ? mask_.c_str() : name.c_str());
}

void TFilesBrowser::UpdateLabel() {
    SetWindowTextW(c_.DirLabel, ShortCaption(directory_).c_str());
}

void TFilesBrowser::ShowDriveOf(const std::wstring& dir) {
    int best = -1;
    for (std::size_t i = 0; i < drives_.size(); ++i)
        if (IsInside(dir, drives_[i]))
            best = static_cast<int>(i);
    SendMessageW(c_.Drive, CB_SETCURSEL, static_cast<WPARAM>(best), 0);
}

}  // namespace ziv::files_win32
