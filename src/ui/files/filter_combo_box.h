#pragma once

#include <QComboBox>
#include <QStringList>

namespace ziv {

class TFileListBox;

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
