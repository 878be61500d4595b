#include "ui/files/file_list_box.h"

#include <QLineEdit>
#include <QMouseEvent>

#include "ui/files/browser_rules.h"
#include "ui/files/directory_reader.h"
#include "ui/files/fixed_row_delegate.h"
#include "ui/files/raw_names.h"

namespace ziv {

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new TFixedRowDelegate(13, this));
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!filling_)
            UserSelectionChanged();
    });
}

void TFileListBox::SetDirectory(const std::string& dir) {
    directory_ = dir;
    Fill({});
}

void TFileListBox::SetMask(const QString& mask) {
    mask_ = mask;
    Fill({});
}

void TFileListBox::Refresh() {
    Fill(SelectedName());
}

void TFileListBox::SetFileEdit(QLineEdit* edit) {
    fileEdit_ = edit;
    FillEdit();
}

std::string TFileListBox::SelectedName() const {
    const auto selected = selectedItems();
    return selected.isEmpty() ? std::string() : RawOf(selected.front()->data(Qt::UserRole));
}

bool TFileListBox::SelectFile(const std::string& name) {
    for (int row = 0; row < count(); ++row) {
        if (RawOf(item(row)->data(Qt::UserRole)) == name) {
            setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return false;
}

std::vector<std::string> TFileListBox::Names() const {
    std::vector<std::string> names;
    for (int row = 0; row < count(); ++row)
        names.push_back(RawOf(item(row)->data(Qt::UserRole)));
    return names;
}

void TFileListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (OnClick)
        OnClick();
}

void TFileListBox::Fill(const std::string& keepSelected) {
    filling_ = true;
    clear();
    if (!directory_.empty()) {
        const TDirectoryEntries entries = ReadDirectory(directory_);
        for (const std::string& name : entries.Files) {
            const QString shown = DisplayName(name);
            if (!MatchesMask(shown, mask_))
                continue;
            auto* row = new QListWidgetItem(shown, this);
            row->setData(Qt::UserRole, RawData(name));
            if (!keepSelected.empty() && name == keepSelected)
                setCurrentItem(row, QItemSelectionModel::ClearAndSelect);
        }
    }
    filling_ = false;
    FillEdit();
}

void TFileListBox::UserSelectionChanged() {
    FillEdit();
    if (OnClick)
        OnClick();
}

void TFileListBox::FillEdit() {
    if (fileEdit_ == nullptr)
        return;
    const std::string name = SelectedName();
    if (name.empty()) {
        fileEdit_->setText(mask_);
        fileEdit_->setProperty(RawNameProperty, QVariant());
    } else {
        fileEdit_->setText(DisplayName(name));
        fileEdit_->setProperty(RawNameProperty, RawData(name));
    }
}

}  // namespace ziv
