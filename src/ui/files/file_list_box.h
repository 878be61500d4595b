#pragma once

#include <QListWidget>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLineEdit;

namespace ziv {

// The browser's controls each drive the next only through the link its
// setter gives it; unlinked, a control changes nothing but itself.

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

}  // namespace ziv
