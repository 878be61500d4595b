#pragma once

#include <exception>
#include <functional>

namespace ziv {

// Runs calls on the user-interface thread. The event thread of a port uses
// it to hand its events over, and waits for them by itself.
class TUiInvoker {
public:
    virtual ~TUiInvoker() = default;

    // Queues `call` to run on the user-interface thread, in order, and
    // returns at once. Called from other threads. A call still queued when
    // the user-interface thread stops taking calls may be dropped unrun.
    virtual void InvokeAsync(std::function<void()> call) = 0;
};

// The application's default error report, which shows an error that no
// handler caught. Called on the user-interface thread.
class TErrorReport {
public:
    virtual ~TErrorReport() = default;
    virtual void ReportException(const std::exception& error) = 0;
};

}  // namespace ziv
