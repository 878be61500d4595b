#include "ui/qt_timer.h"

#include "base/diagnostics.h"
#include "ui/error_report.h"
#include "ui/ui_gate.h"

namespace ziv {

TQtTimer::TQtTimer(TUiGate* gate, TErrorReport* report)
    : gate_(gate), report_(report), self_(std::make_shared<TQtTimer*>(this)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Timeout(); });
}

TQtTimer::~TQtTimer() {
    *self_ = nullptr;
}

void TQtTimer::Start() {
    ++generation_;
    held_ = false;
    timer_.start(Interval());
}

void TQtTimer::Stop() {
    ++generation_;
    held_ = false;
    timer_.stop();
}

void TQtTimer::Timeout() {
    if (gate_ && gate_->Holding()) {
        if (held_)
            return;  // ticks are not accumulated
        held_ = true;
        std::weak_ptr<TQtTimer*> self = self_;
        const unsigned generation = generation_;
        gate_->Hold([self, generation] {
            auto timer = self.lock();
            if (!timer || !*timer)
                return;
            TQtTimer& t = **timer;
            if (t.generation_ != generation || !t.held_)
                return;
            t.held_ = false;
            t.Deliver();
        });
        return;
    }
    Deliver();
}

void TQtTimer::Deliver() {
    try {
        Fire();
    } catch (...) {
        ReportCurrentException(report_);
    }
}

}  // namespace ziv
