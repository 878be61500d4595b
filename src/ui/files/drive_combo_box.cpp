#include "ui/files/drive_combo_box.h"

#include <QApplication>
#include <QSignalBlocker>

#include "ui/files/browser_rules.h"
#include "ui/files/directory_list_box.h"

namespace ziv {

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (dirList_ == nullptr || index < 0 || index >= static_cast<int>(volumes_.size()))
            return;
        if (!dirList_->SetDirectory(volumes_[static_cast<size_t>(index)].Root)) {
            QApplication::beep();
            ShowDriveOf(dirList_->Directory());
        }
    });
}

void TDriveComboBox::SetVolumes(std::vector<TVolume> volumes) {
    volumes_ = std::move(volumes);
    const QSignalBlocker blocker(this);
    clear();
    for (const TVolume& volume : volumes_)
        addItem(volume.Caption);
}

void TDriveComboBox::ShowDriveOf(const std::string& dir) {
    int best = -1;
    size_t bestLength = 0;
    for (size_t i = 0; i < volumes_.size(); ++i) {
        const std::string& root = volumes_[i].Root;
        if (IsInside(dir, root) && (best < 0 || root.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = root.size();
        }
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(best);
}

void TDriveComboBox::Choose(int index) {
    setCurrentIndex(index);
    emit activated(index);
}

}  // namespace ziv
