#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
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
    void PostAt(std::int64_t at, std::function<void()> event);
    // Called from another thread: queues `call` ahead of everything due.
    void InvokeAsync(std::function<void()> call) override;

    // Delivers everything due up to `until`, then sets the clock there.
    void RunUntil(std::int64_t until);
    void Advance(std::int64_t ms) { RunUntil(now_ + ms); }

    // The thread stays inside the current handler for `ms`.
    void Busy(std::int64_t ms) { now_ += ms; }

    // Waits up to `realMs` of real time for a hand-over, then runs every
    // queued one; false when none came.
    bool WaitForHandOver(int realMs);

    class VirtualTimer;

private:
    // Hand-overs are due at once, before any event or tick.
    static constexpr std::int64_t kHandOver = std::numeric_limits<std::int64_t>::min();

    struct Queued {
        std::int64_t at;
        std::uint64_t seq;
        std::function<void()> event;
    };

    void Register(VirtualTimer* timer) { timers_.push_back(timer); }
    void Unregister(VirtualTimer* timer);
    std::uint64_t NextSeq() { return seq_++; }
    void Queue(std::int64_t at, std::function<void()> event);
    // Takes the first queued entry due by `until`, if it comes before
    // `timer`'s tick; an empty function when none does.
    std::function<void()> TakeQueued(std::int64_t until, const VirtualTimer* timer);
    bool DeliverNext(std::int64_t until);

    std::int64_t now_ = 0;
    std::atomic<std::uint64_t> seq_ = 0;
    bool delivering_ = false;
    std::vector<VirtualTimer*> timers_;

    std::mutex mutex_;
    std::condition_variable queued_;
    std::vector<Queued> queue_;
};

}  // namespace ziv::test
