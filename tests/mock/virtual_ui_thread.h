#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
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
    TVirtualUiThread();
    ~TVirtualUiThread() override;

    std::int64_t Now() const { return now_; }

    std::unique_ptr<TTimer> CreateTimer() override;

    // Queues an input event for virtual time `at` (not before Now()).
    void PostAt(std::int64_t at, std::function<void()> event);
    void Post(std::function<void()> event) { PostAt(now_, std::move(event)); }

    // Delivers everything due up to `until`, then sets the clock there.
    void RunUntil(std::int64_t until);
    void Advance(std::int64_t ms) { RunUntil(now_ + ms); }

    // The thread stays inside the current handler for `ms`.
    void Busy(std::int64_t ms) { now_ += ms; }

    // True while a handler is being delivered.
    bool Delivering() const { return delivering_; }

    // --- Hand-over from other threads ---
    // Runs `call` on this (virtual) thread and waits until it has run.
    // Called from another thread; the test thread runs it in RunUntil,
    // ProcessHandOvers or WaitForHandOver.
    void InvokeSync(std::function<void()> call);
    // Queues `call` like InvokeSync, without waiting for it to run.
    void InvokeAsync(std::function<void()> call) override {
        auto handOver = std::make_shared<HandOver>();
        handOver->call = std::move(call);
        std::lock_guard lock(handOverMutex_);
        handOvers_.push_back(std::move(handOver));
        handOverCv_.notify_all();
    }
    // Runs every queued hand-over now.
    int ProcessHandOvers();
    // Waits up to `realMs` of real time for a hand-over and runs it.
    bool WaitForHandOver(int realMs);

    class VirtualTimer;

private:
    struct Posted {
        std::int64_t at;
        std::uint64_t seq;
        std::function<void()> event;
    };
    struct HandOver {
        std::function<void()> call;
        bool done = false;
    };

    void Register(VirtualTimer* timer) { timers_.push_back(timer); }
    void Unregister(VirtualTimer* timer);
    std::uint64_t NextSeq() { return seq_++; }
    bool DeliverNext(std::int64_t until);
    void RunHandOver(const std::shared_ptr<HandOver>& handOver);

    std::int64_t now_ = 0;
    std::uint64_t seq_ = 0;
    bool delivering_ = false;
    std::vector<VirtualTimer*> timers_;
    std::vector<Posted> posted_;

    std::mutex handOverMutex_;
    std::condition_variable handOverCv_;
    std::deque<std::shared_ptr<HandOver>> handOvers_;
};

}  // namespace ziv::test
