#pragma once

#include <QTimer>
#include <memory>

#include "base/timer.h"

namespace ziv {

class TUiGate;
class TErrorReport;

// A keyer timer on a precise QTimer. A tick that falls due while the gate
// holds (a message is playing) is remembered, at most one per timer, and
// delivered after the held work that came before it. Disabling the timer
// drops a remembered tick, as the toolkit removes a stopped timer's
// pending tick.
class TQtTimer : public TTimer {
public:
    // Both may be null: then ticks are delivered at once and errors go to
    // standard error.
    TQtTimer(TUiGate* gate, TErrorReport* report);
    ~TQtTimer() override;

protected:
    void Start() override;
    void Stop() override;

private:
    void Timeout();
    void Deliver();

    QTimer timer_;
    TUiGate* gate_;
    TErrorReport* report_;
    bool held_ = false;
    unsigned generation_ = 0;
    std::shared_ptr<TQtTimer*> self_;
};

class TQtTimerFactory : public TTimerFactory {
public:
    TQtTimerFactory(TUiGate* gate, TErrorReport* report) : gate_(gate), report_(report) {}
    std::unique_ptr<TTimer> CreateTimer() override {
        return std::make_unique<TQtTimer>(gate_, report_);
    }

private:
    TUiGate* gate_;
    TErrorReport* report_;
};

}  // namespace ziv
