#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;

namespace ziv {

// --- Path rules ---------------------------------------------------------
// Paths and names are the file system's own bytes (std::string); QString
// only ever holds their display form (QFile::decodeName), since a name that
// is not valid UTF-8 would not survive the round trip.

// The text after the last "/"; the whole text when it has none.
std::string FileNamePart(const std::string& path);
// dir + "/" + name, without a second "/" when dir is the root "/".
std::string JoinPath(const std::string& dir, const std::string& name);
// Drops trailing "/" (the root stays "/"); an empty text stays empty.
std::string NormalizeDirectory(std::string dir);
// "/", "/a", "/a/b" for "/a/b": the directories from the root down.
std::vector<std::string> DirectoryChain(const std::string& dir);
// True when `dir` is `root` or lies below it.
bool IsInside(const std::string& dir, const std::string& root);

// Whether a file name matches a mask list such as "*.wav;*.au". Matching
// ignores case, so CQ.WAV is a WAV file; "*.*" means every file, as
// "Visi failai (*.*)" promises, also names without a dot.
bool MatchesMask(const QString& name, const QString& masks);

// Shortens a directory to maxWidth by replacing leading directory names
// after the root with "...": "/home/op/msg/cq" -> "/.../msg/cq" ->
// "/.../cq" -> ".../cq". textWidth measures a text in the label's font.
QString MinimizeName(const QString& dir, const std::function<int(const QString&)>& textWidth,
                     int maxWidth);

// Mounted file systems worth offering as drives: not the kernel's pseudo
// file systems (proc, sysfs, cgroup, ...) nor anything mounted below
// /proc, /sys, /dev or /run (removable media under /run/media excepted).
bool IsBrowsableVolume(const QString& mountPoint, const QByteArray& fileSystemType);

struct TVolume {
    std::string Root;  // mount point
    QString Caption;   // as listed
};
// The browsable mounted file systems, the root "/" first.
std::vector<TVolume> BrowsableVolumes();

// One directory's visible entries (names starting with "." are skipped),
// sorted by display name ignoring case. Ok is false when it cannot be read.
struct TDirectoryEntries {
    bool Ok = false;
    std::vector<std::string> Directories;
    std::vector<std::string> Files;
};
TDirectoryEntries ReadDirectory(const std::string& dir);

// --- Browser controls ---------------------------------------------------
// Each control drives the next only through the link its setter gives it;
// unlinked, it changes nothing but itself.

// The file list: the files of Directory() that match Mask(), one selected
// at most. Linked to an edit, every change of the selection puts the
// selected file's name there, or the mask when nothing is selected.
class TFileListBox : public QListWidget {
public:
    // The edit property that holds the file-system bytes of the name the
    // list put into its edit (absent when it put the mask there).
    static constexpr const char* RawNameProperty = "zivRawName";

    explicit TFileListBox(QWidget* parent = nullptr);

    const std::string& Directory() const { return directory_; }
    // Lists `dir` anew, nothing selected.
    void SetDirectory(const std::string& dir);
    const QString& Mask() const { return mask_; }
    // Lists anew with `mask`, nothing selected.
    void SetMask(const QString& mask);
    // Reads the directory again, keeping the selection when its file is
    // still there.
    void Refresh();

    // The edit it fills; filled at once.
    void SetFileEdit(QLineEdit* edit);
    QLineEdit* FileEdit() const { return fileEdit_; }

    // The selected file's name, empty when none is selected.
    std::string SelectedName() const;
    // Selects a listed file as the user would; false when it is not listed.
    bool SelectFile(const std::string& name);
    std::vector<std::string> Names() const;

    // A click, or a selection change made by the user.
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Fill(const std::string& keepSelected);
    void UserSelectionChanged();
    void FillEdit();

    std::string directory_;
    QString mask_ = QStringLiteral("*.wav");
    QLineEdit* fileEdit_ = nullptr;
    bool filling_ = false;
};

// The directory list: the root, each directory down to the current one and
// the current directory's subdirectories, indented. Double-click (or Enter)
// on an entry makes it current.
class TDirectoryListBox : public QTreeWidget {
public:
    static constexpr int RowHeight = 16;

    explicit TDirectoryListBox(QWidget* parent = nullptr);

    const std::string& Directory() const { return directory_; }
    // Makes `dir` current and raises OnChange when it differs. A directory
    // that cannot be read is refused: false, and the list stays where it
    // was, so the operator never looks at a list that pretends to be empty.
    bool SetDirectory(const std::string& dir);
    // Reads the current directory again.
    void Refresh();

    // The file list it drives and the label that shows its directory.
    void SetFileList(TFileListBox* list);
    void SetDirLabel(QLabel* label);
    QLabel* DirLabel() const { return dirLabel_; }

    // Full path of each listed entry, top to bottom.
    std::vector<std::string> EntryPaths() const;
    // Opens the entry with this full path as a double-click does.
    bool OpenEntry(const std::string& path);

    std::function<void()> OnChange;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // An indented list, not a tree: no expand arrows.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    void Fill(const TDirectoryEntries& entries);
    void Open(QTreeWidgetItem* item);
    void UpdateLabel();

    std::string directory_;
    TFileListBox* fileList_ = nullptr;
    QLabel* dirLabel_ = nullptr;
    bool filling_ = false;
};

// The drive selector: the mounted file systems. Linked to a directory
// list, choosing one moves the list to its root.
class TDriveComboBox : public QComboBox {
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    void SetVolumes(std::vector<TVolume> volumes);
    const std::vector<TVolume>& Volumes() const { return volumes_; }
    // Shows the file system that holds `dir`, without moving anything.
    void ShowDriveOf(const std::string& dir);
    void SetDirList(TDirectoryListBox* list) { dirList_ = list; }
    // Chooses entry `index` as the user would.
    void Choose(int index);

private:
    std::vector<TVolume> volumes_;
    TDirectoryListBox* dirList_ = nullptr;
};

// The file-type selector, from a "description|mask|description|mask" text.
// Linked to a file list, choosing an entry sets the list's mask.
class TFilterComboBox : public QComboBox {
public:
    TFilterComboBox(const QString& filter, QWidget* parent = nullptr);

    QString Mask() const;
    void SetFileList(TFileListBox* list) { fileList_ = list; }
    // Chooses entry `index` as the user would.
    void Choose(int index);

private:
    QStringList masks_;
    TFileListBox* fileList_ = nullptr;
};

}  // namespace ziv
