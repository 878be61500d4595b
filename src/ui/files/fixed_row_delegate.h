#pragma once

#include <QStyledItemDelegate>

namespace ziv {

// Rows of a fixed height whatever the style's own spacing.
class TFixedRowDelegate : public QStyledItemDelegate {
public:
    TFixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

private:
    int height_;
};

}  // namespace ziv
