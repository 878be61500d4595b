#include "ui/application.h"

#include "base/diagnostics.h"

#include <stdexcept>

namespace ziv {

bool TZivApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException(report_);
    }
    return false;
}

}  // namespace ziv
