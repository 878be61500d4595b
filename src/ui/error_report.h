#pragma once

#include <QString>
#include <string>

#include "base/ui_invoker.h"
#include "core/default_error_report.h"

class QWidget;

namespace ziv {

// Message boxes of the program, behind an interface so that tests can
// answer them without a modal loop.
class TMessageBoxes {
public:
    virtual ~TMessageBoxes() = default;
    // A plain modal box with one OK button.
    virtual void ShowMessage(const QString& caption, const QString& text) = 0;
    // A modal box with the stop icon and one OK button.
    virtual void ShowError(const QString& caption, const QString& text) = 0;
};

// The real boxes, always on top like the keyer's window so that they never
// hide behind it.
class TQtMessageBoxes : public TMessageBoxes {
public:
    explicit TQtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    void ShowMessage(const QString& caption, const QString& text) override;
    void ShowError(const QString& caption, const QString& text) override;

private:
    QWidget* parent_;
};

// The application title: the executable's file name without its
// directory, cut before its first dot, every character after the first
// lower-cased ("/opt/ZIVSound" -> "Zivsound").
QString ApplicationTitleFromPath(const QString& executablePath);

// The application's default error report: a message box captioned with
// the application title, with the stop icon, OK and the error's message.
class TBoxErrorReport : public TDefaultErrorReport {
public:
    TBoxErrorReport(TMessageBoxes& boxes, QString title)
        : boxes_(boxes), title_(std::move(title)) {}

protected:
    void ShowErrorBox(const std::string& text) override;

private:
    TMessageBoxes& boxes_;
    QString title_;
};

}  // namespace ziv
