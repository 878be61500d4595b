#pragma once

#include <QTreeWidget>
#include <cstddef>
#include <functional>
#include <vector>

#include "core/files/files_window_model.h"

namespace ziv {

// The directory list: the model's rows, indented (the root, each directory
// down to the current one, the current one's subdirectories).
class TDirectoryListBox : public QTreeWidget {
public:
    static constexpr int RowHeight = 16;

    explicit TDirectoryListBox(QWidget* parent = nullptr);

    // `current` selected and at the top.
    void Show(const std::vector<TDirectoryRow>& rows, std::size_t current);
    // The model's row of an item.
    static std::size_t RowOf(const QTreeWidgetItem* item);

    // A double-click, or Enter, on a row.
    std::function<void(std::size_t row)> OnOpen;
    // A click, or a move of the current row.
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // An indented list, not a tree: no expand arrows.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    void Open(const QTreeWidgetItem* item);

    bool filling_ = false;
};

}  // namespace ziv
