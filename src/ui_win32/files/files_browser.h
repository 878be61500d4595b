#pragma once

#include <string>
#include <vector>

#include "ui_win32/files/browser_rules.h"

struct HWND__;

// The browser in the upper part of the files window: the file list, the
// directory list with its caption, the file-type selector and the drive
// selector, on the window's Win32 controls. The controls start unlinked:
// each changes nothing but itself (only a new directory still reaches the
// file list, as the window asks), until Link() ties them together for the
// rest of the run. Linked, the file list puts the selected file's name, or
// the mask when none is selected, into the hidden edit the "Įvesti"
// buttons read.

namespace ziv::files_win32 {

class TFilesBrowser {
public:
    struct TControls {
        HWND__* FileList;
        HWND__* DirList;
        HWND__* DirLabel;
        HWND__* Filter;
        HWND__* Drive;
        HWND__* FileEdit;
    };

    TFilesBrowser(const TControls& controls, const std::string& filterUtf8);

    // Fills the selectors and lists `dir` (or, when it cannot be read, the
    // root of the first drive that can), unlinked.
    void Start(const std::wstring& dir);
    // Makes `dir` current; a directory that cannot be read is refused:
    // false, and the lists stay where they were.
    bool SetDirectory(const std::wstring& dir);
    const std::wstring& Directory() const { return directory_; }
    const std::wstring& Mask() const { return mask_; }
    // Reads both lists again; the file list keeps its selection when the
    // file is still there.
    void Refresh();

    void Link();
    bool Linked() const { return linked_; }
    // The directory's caption made anew for the label's size and font.
    void Relabel() {
        if (linked_)
            UpdateLabel();
    }

    // --- The controls' notifications ---
    void FileListSelectionChanged();
    void DirListSelectionChanged() { Link(); }
    void ListClicked() { Link(); }
    void DirListDoubleClicked();
    void FilterChosen();
    void DriveChosen();

    // --- For the window and for tests ---
    std::vector<std::wstring> FileNames() const { return fileNames_; }
    std::wstring SelectedFile() const;
    // Full path of each directory list entry, top to bottom.
    const std::vector<std::wstring>& DirEntries() const { return dirPaths_; }
    const std::vector<std::wstring>& Drives() const { return drives_; }
    // The caption the directory label shows for `dir` in its width.
    std::wstring ShortCaption(const std::wstring& dir) const;

private:
    void FillDirList(const std::vector<std::wstring>& folders);
    void FillFileList(const std::wstring& keepSelected);
    void FillFileEdit();
    void UpdateLabel();
    void ShowDriveOf(const std::wstring& dir);

    TControls c_;
    std::vector<TFileFilter> filters_;
    std::vector<std::wstring> drives_;
    std::wstring directory_;
    std::wstring mask_;
    std::vector<std::wstring> dirPaths_;
    std::vector<std::wstring> fileNames_;
    bool linked_ = false;
};

}  // namespace ziv::files_win32
