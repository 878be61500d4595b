#include "core/default_error_report.h"

namespace ziv {

std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message.push_back('.');
    return message;
}

void Guarded(TErrorReport& report, const std::function<void()>& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportCurrentException(&report);
    }
}

void TDefaultErrorReport::ReportException(const std::exception& error) {
    if (quiet_) {
        failedQuietly_ = true;
        WriteDiagnostic(error.what());
        return;
    }
    ShowErrorBox(WithFullStop(error.what()));
}

}  // namespace ziv
