#include "ui/application.h"

#include <iostream>
#include <stdexcept>

namespace ziv {

bool TZivApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (report_)
            report_->ReportException(e);
        else
            std::cerr << "ZIVSound: " << e.what() << '\n';
    } catch (...) {
        if (report_)
            report_->ReportException(std::runtime_error("Unknown error"));
        else
            std::cerr << "ZIVSound: unknown error\n";
    }
    return false;
}

}  // namespace ziv
