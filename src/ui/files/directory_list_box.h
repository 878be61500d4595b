#pragma once

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "ui/files/directory_reader.h"

class QLabel;

namespace ziv {

class TFileListBox;

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

}  // namespace ziv
