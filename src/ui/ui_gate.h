#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "base/blocking_runner.h"
#include "base/held_work.h"

namespace ziv {

class TErrorReport;

// The user-interface thread's gate. The keyer expects that nothing of it
// runs while a message plays (the thread is "inside Play"), yet the window
// must keep painting and answering the desktop during a long message. So a
// blocking job runs on a worker thread while this thread waits in a local
// loop, and the gate holds back everything that could run the keyer's
// code: input events and window closes (an application event filter),
// ticks of the keyer's timers, hand-overs and other work posted to this
// thread. Painting and the window system's own traffic go on.
//
// Held work is delivered after the job in the order it came, one piece per
// pass of the event loop, so that the handler that started the job (a
// timer tick inside which Play runs) finishes first. Until the queue is
// empty, new work queues behind it.
class TUiGate : public QObject, public TBlockingRunner {
public:
    // Installs the gate's event filter on the application (which must exist).
    explicit TUiGate(QObject* parent = nullptr);
    ~TUiGate() override;

    // Errors thrown by held work are reported here; without a report they
    // go to standard error.
    void SetErrorReport(TErrorReport* report) { held_.SetErrorReport(report); }

    // True while a blocking job runs.
    bool Busy() const { return held_.Busy(); }
    // True while new work must wait: a job runs, or held work waits for
    // delivery.
    bool Holding() const { return held_.Holding(); }

    // Runs `job` on a worker thread; this thread handles only painting and
    // the window system until it ends. Rethrows what the job threw. Runs
    // the job directly when called off this thread, while already busy, or
    // when no worker thread can be started.
    void RunBlocking(const std::function<void()>& job) override;

    // Called for input that arrives while a job runs, before it is held:
    // `cut` runs when `isCut` says the input asks to cut the message.
    void SetCutWhileBusy(std::function<bool(QObject*, QEvent*)> isCut, std::function<void()> cut) {
        isCut_ = std::move(isCut);
        cut_ = std::move(cut);
    }

    // Queues work for after the held work (user-interface thread only).
    void Hold(std::function<void()> work) { held_.Hold(std::move(work)); }
    // Queues work ahead of all held work (user-interface thread only): for
    // a close that must not wait behind the input held during a message.
    void HoldFirst(std::function<void()> work) { held_.HoldFirst(std::move(work)); }
    // Runs work now, or queues it when holding (user-interface thread only).
    void RunOrHold(std::function<void()> work) { held_.RunOrHold(std::move(work)); }
    // From any thread: runs work on the user-interface thread in its turn.
    void Post(std::function<void()> work);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool IsHeldInput(int type);
    static bool BlockedByModal(QObject* target);

    // Each flush is one queued call of the event loop.
    THeldWork held_{[this] {
        QMetaObject::invokeMethod(
            this, [this] { held_.FlushOne(); }, Qt::QueuedConnection);
    }};
    // Cleared on destruction, so that work posted from another thread
    // after the gate is gone is dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::function<bool(QObject*, QEvent*)> isCut_;
    std::function<void()> cut_;
};

}  // namespace ziv
