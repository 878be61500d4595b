#include "ui/error_report.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <stdexcept>

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

QString WithFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void Guarded(TErrorReport& report, const std::function<void()>& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportCurrentException(&report);
    }
}

void TBoxErrorReport::ReportException(const std::exception& error) {
    if (quiet_) {
        failedQuietly_ = true;
        WriteDiagnostic(error.what());
        return;
    }
    boxes_.ShowError(title_, WithFullStop(QString::fromUtf8(error.what())));
}

}  // namespace ziv
