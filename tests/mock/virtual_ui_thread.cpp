#include "mock/virtual_ui_thread.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace ziv::test {

class TVirtualUiThread::VirtualTimer : public TTimer {
public:
    explicit VirtualTimer(TVirtualUiThread& thread) : thread_(thread) { thread_.Register(this); }
    ~VirtualTimer() override { thread_.Unregister(this); }

    bool Pending() const { return running_; }
    std::int64_t Due() const { return due_; }
    std::uint64_t Seq() const { return seq_; }

    void Deliver() {
        // Schedule the next tick before the handler runs, as the toolkit does.
        const std::int64_t now = thread_.Now();
        due_ += Interval();
        if (due_ < now)
            due_ = now + Interval();
        seq_ = thread_.NextSeq();
        Fire();
    }

protected:
    void Start() override {
        running_ = true;
        due_ = thread_.Now() + Interval();
        seq_ = thread_.NextSeq();
    }
    void Stop() override { running_ = false; }

private:
    TVirtualUiThread& thread_;
    bool running_ = false;
    std::int64_t due_ = 0;
    std::uint64_t seq_ = 0;
};

namespace {

// Whether (at, seq) comes before (otherAt, otherSeq): earlier time first,
// then the order of scheduling.
bool Before(std::int64_t at, std::uint64_t seq, std::int64_t otherAt, std::uint64_t otherSeq) {
    return at < otherAt || (at == otherAt && seq < otherSeq);
}

}  // namespace

std::unique_ptr<TTimer> TVirtualUiThread::CreateTimer() {
    return std::make_unique<VirtualTimer>(*this);
}

void TVirtualUiThread::Unregister(VirtualTimer* timer) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

void TVirtualUiThread::Queue(std::int64_t at, std::function<void()> event) {
    std::lock_guard lock(mutex_);
    queue_.push_back({at, NextSeq(), std::move(event)});
    queued_.notify_all();
}

void TVirtualUiThread::PostAt(std::int64_t at, std::function<void()> event) {
    Queue(std::max(at, now_), std::move(event));
}

void TVirtualUiThread::InvokeAsync(std::function<void()> call) {
    Queue(kHandOver, std::move(call));
}

std::function<void()> TVirtualUiThread::TakeQueued(std::int64_t until, const VirtualTimer* timer) {
    std::lock_guard lock(mutex_);
    auto first = queue_.end();
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->at <= until &&
            (first == queue_.end() || Before(it->at, it->seq, first->at, first->seq)))
            first = it;
    }
    if (first == queue_.end() ||
        (timer && !Before(first->at, first->seq, timer->Due(), timer->Seq())))
        return {};
    now_ = std::max(now_, first->at);
    auto event = std::move(first->event);
    queue_.erase(first);
    return event;
}

bool TVirtualUiThread::DeliverNext(std::int64_t until) {
    VirtualTimer* timer = nullptr;
    for (VirtualTimer* t : timers_) {
        if (t->Pending() && t->Due() <= until &&
            (!timer || Before(t->Due(), t->Seq(), timer->Due(), timer->Seq())))
            timer = t;
    }
    auto event = TakeQueued(until, timer);
    if (!event && !timer)
        return false;

    delivering_ = true;
    try {
        if (event) {
            event();
        } else {
            now_ = std::max(now_, timer->Due());
            timer->Deliver();
        }
    } catch (...) {
        delivering_ = false;  // the test may go on after the exception
        throw;
    }
    delivering_ = false;
    return true;
}

void TVirtualUiThread::RunUntil(std::int64_t until) {
    if (delivering_)
        throw std::logic_error("RunUntil called from inside a handler");
    while (DeliverNext(until)) {
    }
    now_ = std::max(now_, until);
}

bool TVirtualUiThread::WaitForHandOver(int realMs) {
    {
        std::unique_lock lock(mutex_);
        const auto handOver = [&] {
            return std::any_of(queue_.begin(), queue_.end(),
                               [](const Queued& q) { return q.at == kHandOver; });
        };
        if (!queued_.wait_for(lock, std::chrono::milliseconds(realMs), handOver))
            return false;
    }
    // Nothing else is due before the clock moves.
    while (DeliverNext(kHandOver)) {
    }
    return true;
}

}  // namespace ziv::test
