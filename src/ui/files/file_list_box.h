#pragma once

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

namespace ziv {

// The file list: the model's file names, one selected at most.
class TFileListBox : public QListWidget {
public:
    explicit TFileListBox(QWidget* parent = nullptr);

    // `selected` is -1 for none.
    void Show(const std::vector<std::string>& names, int selected);

    // A selection the user made: its row, or -1 for none.
    std::function<void(int row)> OnSelect;
    // A click, also one that selects nothing.
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool filling_ = false;
};

}  // namespace ziv
