#include "serial/comm_thread.h"

#include "base/diagnostics.h"

#include <stdexcept>
#include <thread>

namespace ziv {

namespace {

std::atomic<bool> applicationShuttingDown{false};

// A wait that fails at once would otherwise be retried at once, forever:
// a device in trouble (an unplugged adapter) must not cost a whole core.
constexpr std::uint32_t FailedWaitPauseMs = 100;

}  // namespace

void SetApplicationShuttingDown(bool value) {
    applicationShuttingDown.store(value);
}
bool ApplicationShuttingDown() {
    return applicationShuttingDown.load();
}

std::shared_ptr<TVaCommThread> TVaCommThread::Create(TCommPlatform& platform, TCommHandle device,
                                                     TThreadPriority priority, TUiInvoker& invoker,
                                                     TErrorReport& errorReport) {
    auto thread = std::make_shared<TVaCommThread>(Token{}, device, platform.CreateEventWait(device),
                                                  invoker, errorReport);
    // The running thread keeps its own reference and lets go of it when
    // its loop ends: the object frees itself once nobody else holds it.
    std::thread([self = thread, priority] { self->Execute(priority); }).detach();
    return thread;
}

TVaCommThread::TVaCommThread(Token, TCommHandle device, std::unique_ptr<TCommEventWait> wait,
                             TUiInvoker& invoker, TErrorReport& errorReport)
    : FDevice(device), FWait(std::move(wait)), FInvoker(&invoker), FErrorReport(errorReport) {}

TVaCommThread::~TVaCommThread() = default;

void TVaCommThread::SetOnEvent(TVaCommThreadEvent handler) {
    FOnEvent = std::move(handler);
}

void TVaCommThread::Stop() {
    // The thread may see the flag, end and let go of itself at any moment
    // from here on; this reference keeps the object until Stop is done.
    const auto keep = shared_from_this();
    {
        std::lock_guard lock(FInvokerMutex);
        FTerminated.store(true);
        FInvoker = nullptr;
    }
    {
        // A thread between its test of the flag and its sleep has the lock.
        std::lock_guard lock(FMutex);
    }
    FDone.notify_all();
    FOnEvent = nullptr;
    FWakeEvent.SetEvent();
}

void TVaCommThread::Execute(TThreadPriority priority) {
    if (priority != tpNormal)
        SetCurrentThreadPriority(ThreadPriorityValue(priority));
    while (!FTerminated.load()) {
        std::uint32_t eventMask = 0;
        const int result = FWait->Wait(eventMask, FWakeEvent.Handle());
        if (FTerminated.load())
            break;
        if (result != 0) {
            FWakeEvent.WaitFor(FailedWaitPauseMs);
            continue;
        }
        if (ApplicationShuttingDown() || eventMask == 0)
            continue;
        Dispatch(eventMask);
        FWakeEvent.ResetEvent();
    }
}

namespace {

// One hand-over on its way to the user-interface thread. It counts as
// finished when it has run, or when the invoker drops it unrun, so that
// the event thread is never left waiting for a call that will not come.
struct HandOver {
    std::shared_ptr<TVaCommThread> thread;
    std::uint32_t eventMask = 0;
    std::function<void()> finish;
    std::atomic<bool> finished{false};

    void Finish() {
        if (!finished.exchange(true) && finish)
            finish();
    }
    ~HandOver() { Finish(); }
};

}  // namespace

void TVaCommThread::Dispatch(std::uint32_t eventMask) {
    auto done = std::make_shared<bool>(false);
    {
        auto handOver = std::make_shared<HandOver>();
        handOver->thread = shared_from_this();
        handOver->eventMask = eventMask;
        handOver->finish = [this, done] {
            {
                std::lock_guard lock(FMutex);
                *done = true;
            }
            FDone.notify_all();
        };
        // Stop takes the same lock, so the invoker is never used after Stop.
        std::lock_guard lock(FInvokerMutex);
        if (FTerminated.load() || !FInvoker)
            return;
        FInvoker->InvokeAsync([handOver] {
            handOver->thread->DoEvent(handOver->eventMask);
            handOver->Finish();
        });
    }
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [&] { return *done || FTerminated.load(); });
}

void TVaCommThread::DoEvent(std::uint32_t eventMask) {
    if (!FOnEvent)
        return;
    // A copy: the handler may call Stop, which clears FOnEvent.
    const TVaCommThreadEvent handler = FOnEvent;
    try {
        handler(this, eventMask);
    } catch (...) {
        ReportCurrentException(&FErrorReport);
    }
}

}  // namespace ziv
