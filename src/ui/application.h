#pragma once

#include <QApplication>

#include "base/diagnostics.h"
#include "base/ui_invoker.h"

namespace ziv {

// The application object. Every handler entry point of the program guards
// itself; this is the last line behind them, so that an exception from
// anywhere (a toolkit callback we did not expect) is reported instead of
// unwinding through the event loop.
class TZivApplication : public QApplication {
public:
    TZivApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    void SetErrorReport(TErrorReport* report) { report_ = report; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    TErrorReport* report_ = nullptr;
};

}  // namespace ziv
