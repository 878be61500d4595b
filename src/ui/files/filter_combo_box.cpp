#include "ui/files/filter_combo_box.h"

#include "ui/files/file_list_box.h"

namespace ziv {

TFilterComboBox::TFilterComboBox(const QString& filter, QWidget* parent) : QComboBox(parent) {
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        addItem(parts[i]);
        masks_ << parts[i + 1];
    }
    connect(this, &QComboBox::activated, this, [this](int) {
        if (fileList_ != nullptr)
            fileList_->SetMask(Mask());
    });
}

QString TFilterComboBox::Mask() const {
    const int index = currentIndex();
    return index >= 0 && index < masks_.size() ? masks_[index] : QStringLiteral("*.*");
}

void TFilterComboBox::Choose(int index) {
    setCurrentIndex(index);
    emit activated(index);
}

}  // namespace ziv
