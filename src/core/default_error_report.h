#pragma once

#include <exception>
#include <functional>
#include <string>

#include "base/diagnostics.h"

namespace ziv {

// An error message as the default report shows it: a full stop is added
// when the last character sorts after ".".
std::string WithFullStop(std::string message);

// Runs one handler of an entry point (a click, a key, a timer tick, a
// hand-over); whatever it throws goes to `report` and no further, so that
// no exception ever reaches the toolkit's event loop. A throw of something
// that is no std::exception is reported as "Unknown error".
void Guarded(TErrorReport& report, const std::function<void()>& handler) noexcept;

// The application's default error report: a modal box captioned with the
// application title, with the stop icon, OK and the error's message
// (WithFullStop). Each flavour shows the box.
class TDefaultErrorReport : public TErrorReport {
public:
    void ReportException(const std::exception& error) override;

    // From now on no box: each error is one line on standard error. For a
    // close by signal or the end of the session, which must never wait for
    // someone to press OK.
    void SetQuiet(bool quiet) { quiet_ = quiet; }
    // Whether an error was reported while quiet.
    bool FailedQuietly() const { return failedQuietly_; }

protected:
    // The box for an error message (UTF-8, full stop added).
    virtual void ShowErrorBox(const std::string& text) = 0;

private:
    bool quiet_ = false;
    bool failedQuietly_ = false;
};

}  // namespace ziv
