#include "ui/files/file_list_box.h"

#include <QMouseEvent>

#include "ui/files/fixed_row_delegate.h"
#include "ui/files/raw_names.h"

namespace ziv {

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new TFixedRowDelegate(13, this));
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (filling_ || !OnSelect)
            return;
        const auto selected = selectedItems();
        OnSelect(selected.isEmpty() ? -1 : row(selected.front()));
    });
}

void TFileListBox::Show(const std::vector<std::string>& names, int selected) {
    filling_ = true;
    clear();
    for (const std::string& name : names)
        addItem(DisplayName(name));
    if (selected >= 0)
        setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
    filling_ = false;
}

void TFileListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (OnClick)
        OnClick();
}

}  // namespace ziv
