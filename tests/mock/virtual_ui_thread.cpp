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

TVirtualUiThread::TVirtualUiThread() = default;

TVirtualUiThread::~TVirtualUiThread() {
    // Release any thread still waiting in a hand-over.
    std::lock_guard lock(handOverMutex_);
    for (auto& h : handOvers_)
        h->done = true;
    handOverCv_.notify_all();
}

std::unique_ptr<TTimer> TVirtualUiThread::CreateTimer() {
    return std::make_unique<VirtualTimer>(*this);
}

void TVirtualUiThread::Unregister(VirtualTimer* timer) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

void TVirtualUiThread::PostAt(std::int64_t at, std::function<void()> event) {
    posted_.push_back({std::max(at, now_), NextSeq(), std::move(event)});
}

bool TVirtualUiThread::DeliverNext(std::int64_t until) {
    // Hand-overs from other threads come first: they are already waiting.
    if (ProcessHandOvers() > 0)
        return true;

    VirtualTimer* timer = nullptr;
    for (VirtualTimer* t : timers_) {
        if (!t->Pending() || t->Due() > until)
            continue;
        if (!timer || t->Due() < timer->Due() ||
            (t->Due() == timer->Due() && t->Seq() < timer->Seq()))
            timer = t;
    }
    auto post = posted_.end();
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (it->at > until)
            continue;
        if (post == posted_.end() || it->at < post->at ||
            (it->at == post->at && it->seq < post->seq))
            post = it;
    }
    const bool takePost =
        post != posted_.end() && (!timer || post->at < timer->Due() ||
                                  (post->at == timer->Due() && post->seq < timer->Seq()));
    if (!takePost && !timer)
        return false;

    delivering_ = true;
    if (takePost) {
        now_ = std::max(now_, post->at);
        auto event = std::move(post->event);
        posted_.erase(post);
        event();
    } else {
        now_ = std::max(now_, timer->Due());
        timer->Deliver();
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

void TVirtualUiThread::InvokeSync(std::function<void()> call) {
    auto handOver = std::make_shared<HandOver>();
    handOver->call = std::move(call);
    std::unique_lock lock(handOverMutex_);
    handOvers_.push_back(handOver);
    handOverCv_.notify_all();
    handOverCv_.wait(lock, [&] { return handOver->done; });
}

void TVirtualUiThread::RunHandOver(const std::shared_ptr<HandOver>& handOver) {
    const bool wasDelivering = delivering_;
    delivering_ = true;
    try {
        handOver->call();
    } catch (...) {
        delivering_ = wasDelivering;
        std::lock_guard lock(handOverMutex_);
        handOver->done = true;
        handOverCv_.notify_all();
        throw;
    }
    delivering_ = wasDelivering;
    std::lock_guard lock(handOverMutex_);
    handOver->done = true;
    handOverCv_.notify_all();
}

int TVirtualUiThread::ProcessHandOvers() {
    int count = 0;
    for (;;) {
        std::shared_ptr<HandOver> next;
        {
            std::lock_guard lock(handOverMutex_);
            if (handOvers_.empty())
                break;
            next = handOvers_.front();
            handOvers_.pop_front();
        }
        RunHandOver(next);
        ++count;
    }
    return count;
}

bool TVirtualUiThread::WaitForHandOver(int realMs) {
    {
        std::unique_lock lock(handOverMutex_);
        if (!handOverCv_.wait_for(lock, std::chrono::milliseconds(realMs),
                                  [&] { return !handOvers_.empty(); }))
            return false;
    }
    return ProcessHandOvers() > 0;
}

}  // namespace ziv::test
