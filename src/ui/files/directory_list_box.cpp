#include "ui/files/directory_list_box.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

#include "ui/files/fixed_row_delegate.h"
#include "ui/files/raw_names.h"

namespace ziv {

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(8);
    setUniformRowHeights(true);
    setIconSize(QSize(14, 14));
    setItemDelegate(new TFixedRowDelegate(RowHeight, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Deep paths elide their names rather than scroll sideways.
    header()->setStretchLastSection(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] {
        if (!filling_ && OnClick)
            OnClick();
    });
}

void TDirectoryListBox::Show(const std::vector<TDirectoryRow>& rows, std::size_t current) {
    filling_ = true;
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    std::vector<QTreeWidgetItem*> items;
    // The last item of each depth down to the row's: its parent is the last.
    std::vector<QTreeWidgetItem*> path;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        path.resize(std::min(static_cast<std::size_t>(rows[i].Depth), path.size()));
        auto* item = path.empty() ? new QTreeWidgetItem(this) : new QTreeWidgetItem(path.back());
        item->setText(0, DisplayName(rows[i].Text));
        item->setIcon(0, i <= current ? openIcon : closedIcon);
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<qulonglong>(i)));
        path.push_back(item);
        items.push_back(item);
    }
    expandAll();
    if (current < items.size()) {
        setCurrentItem(items[current]);
        // The current directory at the top, so that its subdirectories show below it.
        scrollToItem(items[current], QAbstractItemView::PositionAtTop);
    }
    filling_ = false;
}

std::size_t TDirectoryListBox::RowOf(const QTreeWidgetItem* item) {
    return static_cast<std::size_t>(item->data(0, Qt::UserRole).toULongLong());
}

void TDirectoryListBox::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (OnClick)
        OnClick();
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // Handled here rather than through the view's signals: opening rebuilds
    // the list, and the base class would go on using the clicked row.
    const QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && target != nullptr) {
        event->accept();
        Open(target);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentItem() != nullptr) {
        event->accept();
        Open(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void TDirectoryListBox::Open(const QTreeWidgetItem* item) {
    if (OnOpen)
        OnOpen(RowOf(item));
}

}  // namespace ziv
