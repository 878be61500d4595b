#include "ui/files/directory_list_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>

#include "base/path_rules.h"
#include "base/path_shortening.h"
#include "ui/files/browser_rules.h"
#include "ui/files/file_list_box.h"
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

bool TDirectoryListBox::SetDirectory(const std::string& dir) {
    const std::string wanted = NormalizeDirectory(dir);
    if (wanted.empty() || wanted.front() != '/')
        return false;
    const TDirectoryEntries entries = ReadDirectory(wanted);
    if (!entries.Ok)
        return false;
    const bool changed = wanted != directory_;
    directory_ = wanted;
    Fill(entries);
    if (changed) {
        if (fileList_ != nullptr)
            fileList_->SetDirectory(directory_);
        UpdateLabel();
        if (OnChange)
            OnChange();
    }
    return true;
}

void TDirectoryListBox::Refresh() {
    const TDirectoryEntries entries = ReadDirectory(directory_);
    if (entries.Ok)
        Fill(entries);
}

void TDirectoryListBox::SetFileList(TFileListBox* list) {
    fileList_ = list;
}

void TDirectoryListBox::SetDirLabel(QLabel* label) {
    dirLabel_ = label;
    UpdateLabel();
}

std::vector<std::string> TDirectoryListBox::EntryPaths() const {
    std::vector<std::string> paths;
    for (QTreeWidgetItemIterator it(const_cast<TDirectoryListBox*>(this)); *it; ++it)
        paths.push_back(RawOf((*it)->data(0, Qt::UserRole)));
    return paths;
}

bool TDirectoryListBox::OpenEntry(const std::string& path) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (RawOf((*it)->data(0, Qt::UserRole)) == path) {
            Open(*it);
            return true;
        }
    }
    return false;
}

void TDirectoryListBox::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (OnClick)
        OnClick();
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // Handled here rather than through the view's signals: opening rebuilds
    // the list, and the base class would go on using the clicked row.
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
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

void TDirectoryListBox::Fill(const TDirectoryEntries& entries) {
    filling_ = true;
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* parent = nullptr;
    for (const std::string& path : DirectoryChain(directory_)) {
        const QString text = path == "/" ? QStringLiteral("/") : DisplayName(FileNamePart(path));
        auto* row = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        row->setText(0, text);
        row->setIcon(0, openIcon);
        row->setData(0, Qt::UserRole, RawData(path));
        parent = row;
    }
    for (const std::string& name : entries.Directories) {
        auto* row = new QTreeWidgetItem(parent);
        row->setText(0, DisplayName(name));
        row->setIcon(0, closedIcon);
        row->setData(0, Qt::UserRole, RawData(JoinPath(directory_, name)));
    }
    expandAll();
    setCurrentItem(parent);
    // The current directory at the top, so that its subdirectories show below it.
    if (parent != nullptr)
        scrollToItem(parent, QAbstractItemView::PositionAtTop);
    filling_ = false;
}

void TDirectoryListBox::Open(QTreeWidgetItem* item) {
    const std::string path = RawOf(item->data(0, Qt::UserRole));
    if (path == directory_)
        return;
    if (!SetDirectory(path))
        QApplication::beep();
}

void TDirectoryListBox::UpdateLabel() {
    if (dirLabel_ == nullptr)
        return;
    const QString full = DisplayName(directory_);
    const QFontMetrics metrics(dirLabel_->font());
    const auto width = [&](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
    dirLabel_->setText(
        QString::fromStdString(MinimizeName(full.toStdString(), width, dirLabel_->width())));
    dirLabel_->setToolTip(full);
}

}  // namespace ziv
