#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/timer.h"
#include "base/ui_invoker.h"

namespace ziv::test {

// The user-interface thread on a virtual clock. Input events, timer ticks
// and hand-overs from other threads are delivered one at a time in time
// order. A handler that keeps the thread busy (a synchronous play) moves
// the clock on with Busy(); nothing is delivered meanwhile, and what fell
// due is delivered afterwards in order, at most one tick per timer.
//
// Timers follow the toolkit's precise timers: after a tick due at T the
// next is due at T + interval, or one interval after the delivery when
// that was later still.
class TVirtualUiThread : public TTimerFactory, public TUiInvoker {
public:
    std::int64_t Now() const { return now_; }

    std::unique_ptr<TTimer> CreateTimer() override;

    // Queues an input event for virtual time `at` (not before Now()).
    void PostAt(std::int64_t at, std::function<void()> event) {
        Queue(std::max(at, now_), std::move(event));
    }
    // Called from another thread: queues `call` ahead of everything due.
    void InvokeAsync(std::function<void()> call) override {
        Queue(std::numeric_limits<std::int64_t>::min(), std::move(call));
    }

    // Delivers everything due up to `until`, then sets the clock there.
    void RunUntil(std::int64_t until);
    void Advance(std::int64_t ms) { RunUntil(now_ + ms); }

    // The thread stays inside the current handler for `ms`.
    void Busy(std::int64_t ms) { now_ += ms; }

    class VirtualTimer;

private:
    // When something is due, then the order of scheduling: earlier first.
    using Due = std::pair<std::int64_t, std::uint64_t>;

    void Queue(std::int64_t at, std::function<void()> event);
    bool DeliverNext(std::int64_t until);

    std::int64_t now_ = 0;
    std::atomic<std::uint64_t> seq_ = 0;
    bool delivering_ = false;
    std::vector<VirtualTimer*> timers_;

    std::mutex mutex_;
    std::vector<std::pair<Due, std::function<void()>>> queue_;
};

}  // namespace ziv::test
