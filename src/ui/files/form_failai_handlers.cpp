#include "ui/files/form_failai.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "base/path_rules.h"
#include "ui/files/raw_names.h"

namespace ziv {

QString TFormFailai::LabelText(int n) const {
    return edLab(n)->text();
}

void TFormFailai::SetLabelText(int n, const QString& text) {
    edLab(n)->setText(text);
}

void TFormFailai::FormShow() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        edFile(n)->setText(DisplayName(FileNamePart(slots_.Path(n))));
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        edLab(n)->setText(QString::fromStdString(keyer_.PlayButton(n).Caption()));
}

void TFormFailai::EnterClick(int n) {
    // Row 3 hands its label over at once, whether or not a file follows.
    if (n == 3)
        keyer_.BtnPlay3.SetCaption(edLab(3)->text().toStdString());

    const QString text = edit1_->text();
    if (text.isEmpty())
        return;  // the browser is not linked yet
    // The file list leaves the selected name's own bytes beside the text;
    // anything else in Edit1 is the mask, meaning no file is selected. A
    // POSIX name may itself contain "*", so only a text that did not come
    // from a selected file is taken for the mask.
    const QVariant raw = edit1_->property(TFileListBox::RawNameProperty);
    std::string name;
    if (raw.isValid() && DisplayName(RawOf(raw)) == text) {
        name = RawOf(raw);
    } else {
        if (text.contains(u'*'))
            return;
        name = QFile::encodeName(text).toStdString();
    }
    name = FileNamePart(name);
    if (name.empty())
        return;

    const std::string path = JoinPath(directoryListBox1_->Directory(), name);
    slots_.SetPath(n, path);
    edFile(n)->setText(DisplayName(FileNamePart(path)));
}

void TFormFailai::BitBtn2Click() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        keyer_.PlayButton(n).SetCaption(edLab(n)->text().toStdString());
    reject();
    if (makeMainNarrow_)
        makeMainNarrow_();
}

void TFormFailai::DirectoryListBox1Change() {
    if (fileListBox1_->Directory() != directoryListBox1_->Directory())
        fileListBox1_->SetDirectory(directoryListBox1_->Directory());
}

void TFormFailai::Link() {
    driveComboBox1_->SetDirList(directoryListBox1_);
    directoryListBox1_->SetFileList(fileListBox1_);
    directoryListBox1_->SetDirLabel(label1_);
    fileListBox1_->SetFileEdit(edit1_);
    filterComboBox1_->SetFileList(fileListBox1_);
    linked_ = true;
}

void TFormFailai::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;  // restored, not opened
    CentreOnScreen();
    // Files recorded since the last opening show up; the selection stays.
    directoryListBox1_->Refresh();
    fileListBox1_->Refresh();
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

}  // namespace ziv
