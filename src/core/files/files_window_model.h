#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/files/browser_rules.h"
#include "core/keyer.h"
#include "core/message_slots.h"

// What the message files window decides, apart from its toolkit:
// the browser (the directory list, the file list, the file-type and drive
// selectors, the links the first click makes, the file "Įvesti" assigns)
// and the rows below it (the slots' files, the labels' hand-over to the
// main window). Each flavour builds its widgets from the layout table,
// forwards their events here and shows what TFilesWindowView is told.

namespace ziv {

// One directory's visible entries, each list sorted as the flavour's file
// system orders names. Ok is false when the directory cannot be read.
struct TDirectoryEntries {
    bool Ok = false;
    std::vector<std::string> Directories;
    std::vector<std::string> Files;
};

// An entry of the drive selector: the root it moves to, the text it shows.
struct TVolume {
    std::string Root;
    std::string Caption;
};

// The file system as the flavour reaches it.
class TBrowsedFileSystem {
public:
    virtual TDirectoryEntries Read(const std::string& dir) = 0;
    // A name as masks compare it: case folded as the file system folds it.
    virtual std::u32string Folded(const std::string& name) const = 0;
    virtual TPathStyle PathStyle() const = 0;
    // The path as a message slot keeps it (on Windows in the ANSI code
    // page); nothing when it has no such spelling.
    virtual std::optional<std::string> SlotPath(const std::string& path) const = 0;

protected:
    ~TBrowsedFileSystem() = default;
};

// A row of the directory list: the root, each directory down to the
// current one, then the current one's subdirectories.
struct TDirectoryRow {
    std::string Path;
    std::string Text;  // a root as it is, else the directory's own name
    int Depth = 0;     // the indentation, the root's 0
};

// The window's widgets as the model sees them.
class TFilesWindowView {
public:
    // `current` is the current directory's row: selected, scrolled to the top.
    virtual void ShowDirectoryRows(const std::vector<TDirectoryRow>& rows, std::size_t current) = 0;
    // `selected` is -1 when no file is.
    virtual void ShowFiles(const std::vector<std::string>& names, int selected) = 0;
    // Linked only: the hidden Edit1 (the selected file's name, or the mask)
    // and the directory label Label1.
    virtual void ShowFileEdit(const std::string& text) = 0;
    virtual void ShowDirectory(const std::string& dir) = 0;
    // The drive selector's entry, -1 for none; never an event of its own.
    virtual void ShowDrive(int index) = 0;
    // Row n (1..3): the slot's file name (its own bytes), the label edit.
    virtual void ShowSlotFile(int n, const std::string& name) = 0;
    virtual void ShowLabel(int n, const std::string& text) = 0;
    virtual std::string LabelEditText(int n) const = 0;
    // Ends the window's modal showing.
    virtual void Hide() = 0;
    // The refusal beep.
    virtual void Refuse() = 0;

protected:
    ~TFilesWindowView() = default;
};

class TFilesWindowModel {
public:
    // makeMainNarrow sets the main window to its narrow width and hides its
    // settings panel; `filter` is "description|mask|description|mask".
    TFilesWindowModel(TMessageSlots& messageSlots, TKeyer& keyer,
                      std::function<void()> makeMainNarrow, TBrowsedFileSystem& fileSystem,
                      TFilesWindowView& view, const std::string& filter);

    // Lists `dir`, or when it cannot be read the root of the first drive
    // that can, unlinked; `volumes` are the drive selector's entries.
    void Start(const std::string& dir, std::vector<TVolume> volumes);
    // Makes `dir` current. A directory that cannot be read is refused:
    // false, and the lists stay where they were, so the operator never
    // looks at a list that pretends to be empty.
    bool SetDirectory(const std::string& dir);
    // Reads both lists again (at each opening: files recorded meanwhile
    // show up); the selection stays when its file does.
    void Refresh();

    // --- The browser's events ---
    // A click in either list, or a move of its selection: links the
    // browser's controls for the rest of the run.
    void Link();
    // A double-click, or Enter, on a row of the directory list.
    void DirectoryRowOpened(std::size_t row);
    // A selection the user made in the file list; -1 for none.
    void FileSelected(int row);
    void FilterChosen(int index);
    void DriveChosen(int index);

    // --- The rows' handlers ---
    void FormShow();
    void EnterClick(int n);
    void BitBtn2Click();

    // --- State, for the flavours and for tests ---
    bool Linked() const { return linked_; }
    const std::string& Directory() const { return directory_; }
    const std::string& Mask() const { return mask_; }
    const std::vector<TFileFilter>& Filters() const { return filters_; }
    const std::vector<TVolume>& Volumes() const { return volumes_; }
    const std::vector<TDirectoryRow>& Rows() const { return rows_; }
    const std::vector<std::string>& FileNames() const { return fileNames_; }
    // What "Įvesti" assigns: the selected file in the current directory;
    // nothing while unlinked (Edit1 empty) or when no file is selected
    // (Edit1 holds the mask).
    std::optional<std::string> ChosenPath() const;

private:
    void ShowRows(const std::vector<std::string>& directories);
    void ListFiles(const std::vector<std::string>& names, const std::string& keepSelected);
    // DirectoryListBox1Change: the file list follows, linked or not; the
    // label and the drive selector once linked.
    void DirectoryChanged(const std::vector<std::string>& files);
    TDirectoryEntries ReadCurrent();
    std::string FileEditText() const;
    int DriveOf(const std::string& dir) const;

    TMessageSlots& slots_;
    TKeyer& keyer_;
    std::function<void()> makeMainNarrow_;
    TBrowsedFileSystem& fileSystem_;
    TFilesWindowView& view_;
    std::vector<TFileFilter> filters_;
    std::vector<TVolume> volumes_;
    std::string directory_;
    std::string mask_;
    std::vector<TDirectoryRow> rows_;
    std::vector<std::string> fileNames_;
    int selected_ = -1;
    bool linked_ = false;
};

}  // namespace ziv
