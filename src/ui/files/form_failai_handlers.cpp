#include "ui/files/form_failai.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "ui/files/raw_names.h"

// The window's events into the model, and the model's changes into the
// widgets.

namespace ziv {

QString TFormFailai::LabelText(int n) const {
    return edLab(n)->text();
}

void TFormFailai::SetLabelText(int n, const QString& text) {
    edLab(n)->setText(text);
}

void TFormFailai::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;  // restored, not opened
    CentreOnScreen();
    model_.Refresh();
    FormShow();
    bitBtn2_->setFocus();
}

void TFormFailai::keyPressEvent(QKeyEvent* event) {
    // Escape is "&Uždaryti", not a plain rejection: the labels go to the
    // main window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        bitBtn2_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormFailai::CentreOnScreen() {
    QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(available.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void TFormFailai::ShowDirectoryRows(const std::vector<TDirectoryRow>& rows, std::size_t current) {
    directoryListBox1_->Show(rows, current);
}

void TFormFailai::ShowFiles(const std::vector<std::string>& names, int selected) {
    fileListBox1_->Show(names, selected);
}

void TFormFailai::ShowFileEdit(const std::string& text) {
    edit1_->setText(DisplayName(text));
}

void TFormFailai::ShowDirectory(const std::string& dir) {
    const QString full = DisplayName(dir);
    const QFontMetrics metrics(label1_->font());
    const auto width = [&](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
    label1_->setText(
        QString::fromStdString(MinimizeName(full.toStdString(), width, label1_->width())));
    label1_->setToolTip(full);
}

void TFormFailai::ShowDrive(int index) {
    driveComboBox1_->setCurrentIndex(index);
}

void TFormFailai::ShowSlotFile(int n, const std::string& name) {
    edFile(n)->setText(DisplayName(name));
}

void TFormFailai::ShowLabel(int n, const std::string& text) {
    edLab(n)->setText(QString::fromStdString(text));
}

std::string TFormFailai::LabelEditText(int n) const {
    return edLab(n)->text().toStdString();
}

void TFormFailai::Hide() {
    reject();
}

void TFormFailai::Refuse() {
    QApplication::beep();
}

}  // namespace ziv
