#pragma once

#include <functional>
#include <memory>

namespace ziv {

// A periodic timer on the user-interface thread, with the semantics the
// keyer relies on:
// - enabling an enabled timer keeps its running period;
// - enabling a disabled one starts a fresh period, whose first tick comes
//   one whole interval later;
// - disabling stops the ticks;
// - ticks are not accumulated: at most one per timer waits while the
//   thread is busy.
// Implementations provide Start/Stop; the Enabled rule lives here once.
class TTimer {
public:
    virtual ~TTimer() = default;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) {
        if (value == enabled_)
            return;
        enabled_ = value;
        if (value)
            Start();
        else
            Stop();
    }

    int Interval() const { return interval_; }
    // A new interval takes effect with the next start of the timer; a
    // running period is restarted, as toolkit timers do.
    void SetInterval(int ms) {
        if (ms == interval_)
            return;
        interval_ = ms;
        if (enabled_) {
            Stop();
            Start();
        }
    }

    std::function<void()> OnTimer;

protected:
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // Called by the implementation for each tick it delivers.
    void Fire() {
        if (enabled_ && OnTimer)
            OnTimer();
    }

private:
    bool enabled_ = false;
    int interval_ = 1000;
};

// Where timers come from: the Qt event loop in the program, a virtual
// clock in tests.
class TTimerFactory {
public:
    virtual ~TTimerFactory() = default;
    virtual std::unique_ptr<TTimer> CreateTimer() = 0;
};

}  // namespace ziv
