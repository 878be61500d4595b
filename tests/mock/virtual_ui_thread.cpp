#include "mock/virtual_ui_thread.h"

#include <algorithm>
#include <stdexcept>

namespace ziv::test {

class TVirtualUiThread::VirtualTimer : public TTimer {
public:
    explicit VirtualTimer(TVirtualUiThread& thread) : thread_(thread) {
        thread_.timers_.push_back(this);
    }
    ~VirtualTimer() override { std::erase(thread_.timers_, this); }

    void Deliver() {
        // Schedule the next tick before the handler runs, as the toolkit does.
        due.first += Interval();
        if (due.first < thread_.now_)
            due.first = thread_.now_ + Interval();
        due.second = thread_.seq_++;
        Fire();
    }

    bool running = false;
    Due due;

protected:
    void Start() override {
        running = true;
        due = {thread_.now_ + Interval(), thread_.seq_++};
    }
    void Stop() override { running = false; }

private:
    TVirtualUiThread& thread_;
};

std::unique_ptr<TTimer> TVirtualUiThread::CreateTimer() {
    return std::make_unique<VirtualTimer>(*this);
}

void TVirtualUiThread::Queue(std::int64_t at, std::function<void()> event) {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(Due{at, seq_++}, std::move(event));
}

bool TVirtualUiThread::DeliverNext(std::int64_t until) {
    VirtualTimer* timer = nullptr;
    for (VirtualTimer* t : timers_)
        if (t->running && t->due.first <= until && (!timer || t->due < timer->due))
            timer = t;
    std::function<void()> event;
    {
        std::lock_guard lock(mutex_);
        const auto first = std::min_element(queue_.begin(), queue_.end(),
                                            [](auto& a, auto& b) { return a.first < b.first; });
        if (first != queue_.end() && first->first.first <= until &&
            (!timer || first->first < timer->due)) {
            now_ = std::max(now_, first->first.first);
            event = std::move(first->second);
            queue_.erase(first);
        }
    }
    if (!event && !timer)
        return false;

    delivering_ = true;
    // The test may go on after an exception from the handler.
    const struct Done {
        bool& delivering;
        ~Done() { delivering = false; }
    } done{delivering_};
    if (event) {
        event();
    } else {
        now_ = std::max(now_, timer->due.first);
        timer->Deliver();
    }
    return true;
}

void TVirtualUiThread::RunUntil(std::int64_t until) {
    if (delivering_)
        throw std::logic_error("RunUntil called from inside a handler");
    while (DeliverNext(until)) {
    }
    now_ = std::max(now_, until);
}

}  // namespace ziv::test
