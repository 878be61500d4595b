#include "ui/error_report.h"

#include <QFileInfo>
#include <QMessageBox>

namespace ziv {

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

}  // namespace

void TQtMessageBoxes::ShowMessage(const QString& caption, const QString& text) {
    ShowBox(parent_, QMessageBox::NoIcon, caption, text);
}

void TQtMessageBoxes::ShowError(const QString& caption, const QString& text) {
    ShowBox(parent_, QMessageBox::Critical, caption, text);
}

QString ApplicationTitleFromPath(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    if (const qsizetype dot = name.indexOf(u'.'); dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

void TBoxErrorReport::ShowErrorBox(const std::string& text) {
    boxes_.ShowError(title_, QString::fromStdString(text));
}

}  // namespace ziv
