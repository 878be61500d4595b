#pragma once

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ziv {

// The application's default error report, which shows an error that no
// handler caught. Called on the user-interface thread.
class TErrorReport {
public:
    virtual ~TErrorReport() = default;
    virtual void ReportException(const std::exception& error) = 0;
};

// The one way the program writes to standard error: "ZIVSound: ", the
// line and a line end, in one call so that lines written by the sound or
// serial threads at the same time are never interleaved.
inline void WriteDiagnostic(std::string_view line) noexcept {
    try {
        std::string text = "ZIVSound: ";
        text.append(line);
        text.push_back('\n');
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    } catch (...) {
        // No memory for the line: nothing better to do than to drop it.
    }
}

// Hands the exception being handled (call it only inside a catch block) to
// `report`, or writes it to standard error when there is no report. A throw
// of something that is no std::exception is reported as "Unknown error".
// Never throws: every entry point of the program (a click, a key, a tick, a
// hand-over, an event of the toolkit) ends its catch with this, so that no
// exception reaches an event loop or a thread's start.
inline void ReportCurrentException(TErrorReport* report) noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            if (report)
                report->ReportException(error);
            else
                WriteDiagnostic(error.what());
        } catch (...) {
            const std::runtime_error unknown("Unknown error");
            if (report)
                report->ReportException(unknown);
            else
                WriteDiagnostic(unknown.what());
        }
    } catch (...) {
        // The report itself failed (no memory for a box): not worth ending
        // the program for.
        WriteDiagnostic("an error could not be reported");
    }
}

}  // namespace ziv
