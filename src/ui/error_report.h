#pragma once

#include <QString>
#include <exception>
#include <functional>

#include "base/diagnostics.h"
#include "base/ui_invoker.h"

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

// An error message as the default report shows it: a full stop is added
// when the last character sorts after ".".
QString WithFullStop(const QString& message);

// Runs one handler of an entry point (a click, a key, a timer tick, a
// hand-over); whatever it throws goes to the application's default error
// report and no further, so that no exception ever reaches the toolkit's
// event loop. A throw of something that is no std::exception is reported
// as "Unknown error".
void Guarded(TErrorReport& report, const std::function<void()>& handler) noexcept;

// The application's default error report: a message box captioned with
// the application title, with the stop icon, OK and the error's message.
class TBoxErrorReport : public TErrorReport {
public:
    TBoxErrorReport(TMessageBoxes& boxes, QString title)
        : boxes_(boxes), title_(std::move(title)) {}
    void ReportException(const std::exception& error) override;

    // From now on no box: each error is one line on standard error. For a
    // close by signal, which must never wait for someone to press OK.
    void SetQuiet(bool quiet) { quiet_ = quiet; }
    // Whether an error was reported while quiet.
    bool FailedQuietly() const { return failedQuietly_; }

private:
    TMessageBoxes& boxes_;
    QString title_;
    bool quiet_ = false;
    bool failedQuietly_ = false;
};

}  // namespace ziv
