#pragma once

#include <deque>
#include <functional>
#include <utility>

#include "base/diagnostics.h"

namespace ziv {

// The ordered queue behind a user-interface gate, free of any toolkit.
// While a blocking job runs (a message plays) nothing that could run the
// keyer's code may run: such work is held here and delivered after the job
// in the order it came, one piece per pass of the event loop, so that the
// handler that started the job finishes first. Until the queue is empty,
// new work queues behind it.
//
// The toolkit's part is `scheduleFlush`: it must make the event loop call
// FlushOne() once, later (a posted message, a queued call).
class THeldWork {
public:
    explicit THeldWork(std::function<void()> scheduleFlush)
        : scheduleFlush_(std::move(scheduleFlush)) {}

    // Errors thrown by held work go here; without a report, to standard error.
    void SetErrorReport(TErrorReport* report) { report_ = report; }

    bool Busy() const { return busy_; }
    // A job starts or ends; at its end delivery of held work begins.
    void SetBusy(bool busy) {
        busy_ = busy;
        if (!busy)
            ScheduleFlush();
    }
    // True while new work must wait: a job runs, or held work waits.
    bool Holding() const { return busy_ || (!held_.empty() && delivering_ == 0); }
    bool Empty() const { return held_.empty(); }

    void Hold(std::function<void()> work) {
        held_.push_back(std::move(work));
        ScheduleFlush();
    }
    // Ahead of all held work: for a close that must not wait behind the
    // input held during a message.
    void HoldFirst(std::function<void()> work) {
        held_.push_front(std::move(work));
        ScheduleFlush();
    }
    void RunOrHold(std::function<void()> work) {
        if (Holding())
            Hold(std::move(work));
        else
            RunGuarded(work);
    }

    // Delivers the first piece of held work (the scheduled flush).
    void FlushOne() {
        flushPosted_ = false;
        if (busy_ || held_.empty())
            return;
        std::function<void()> work = std::move(held_.front());
        held_.pop_front();
        // The next is scheduled before this one runs, so that a piece that
        // opens a modal loop (the files window) does not stall the rest.
        ScheduleFlush();
        ++delivering_;
        RunGuarded(work);
        --delivering_;
    }

private:
    void ScheduleFlush() {
        if (busy_ || flushPosted_ || held_.empty())
            return;
        flushPosted_ = true;
        scheduleFlush_();
    }
    void RunGuarded(const std::function<void()>& work) {
        try {
            work();
        } catch (...) {
            ReportCurrentException(report_);
        }
    }

    std::function<void()> scheduleFlush_;
    std::deque<std::function<void()>> held_;
    TErrorReport* report_ = nullptr;
    bool busy_ = false;
    bool flushPosted_ = false;
    int delivering_ = 0;
};

}  // namespace ziv
