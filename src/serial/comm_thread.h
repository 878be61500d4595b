#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "base/diagnostics.h"
#include "base/ui_invoker.h"
#include "serial/comm_platform.h"
#include "serial/comm_types.h"
#include "serial/component_base.h"
#include "serial/sync_objects.h"

namespace ziv {

// Set by the application when it begins to terminate; an event thread that
// finishes a wait then dispatches nothing more.
void SetApplicationShuttingDown(bool value);
bool ApplicationShuttingDown();

class TVaCommThread;
using TVaCommThreadEvent = std::function<void(TObject* Sender, std::uint32_t EventMask)>;

// The event thread of one open port: waits for line events and hands each
// completed wait to the handler on the user-interface thread, waiting
// until it has run.
//
// The thread owns itself: it holds the object, its wake event and its
// platform wait through a shared pointer and frees them when its loop
// ends. After Stop it touches nothing but these, so it may finish after
// the component, the platform object and the invoker are gone.
class TVaCommThread : public TObject, public std::enable_shared_from_this<TVaCommThread> {
public:
    // Starts the thread at once with the given priority. The handler is
    // set right after; a wait completed before that is dropped. Throws
    // std::system_error when no thread or wake event can be made.
    static std::shared_ptr<TVaCommThread> Create(TCommPlatform& platform, TCommHandle device,
                                                 TThreadPriority priority, TUiInvoker& invoker,
                                                 TErrorReport& errorReport);
    ~TVaCommThread() override;

    // User-interface thread only.
    void SetOnEvent(TVaCommThreadEvent handler);

    // Ends the thread without waiting for it: no handler is called after
    // this, even for a wait already completed. Safe from within the
    // handler. The caller drops its pointer afterwards.
    void Stop();

    bool Terminated() const { return FTerminated.load(); }
    TCommHandle Device() const { return FDevice; }

private:
    struct Token {};

public:
    TVaCommThread(Token, TCommHandle device, std::unique_ptr<TCommEventWait> wait,
                  TUiInvoker& invoker, TErrorReport& errorReport);

private:
    void Execute(TThreadPriority priority);
    // Hands one completed wait to the user-interface thread and waits until
    // it has run there, or until Stop.
    void Dispatch(std::uint32_t eventMask);
    // On the user-interface thread.
    void DoEvent(std::uint32_t eventMask);

    TCommHandle FDevice;  // not owned; the thread never closes it
    TVaSimpleEvent FWakeEvent;
    std::unique_ptr<TCommEventWait> FWait;
    TVaCommThreadEvent FOnEvent;  // read and written on the user-interface thread only
    TUiInvoker* FInvoker;         // used under FInvokerMutex, and never after Stop
    TErrorReport& FErrorReport;   // used by DoEvent only while a handler is set

    std::atomic<bool> FTerminated{false};
    std::mutex FInvokerMutex;
    std::mutex FMutex;  // guards the finished flag of the hand-over under way
    std::condition_variable FDone;
};

}  // namespace ziv
