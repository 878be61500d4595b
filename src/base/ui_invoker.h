#pragma once

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

}  // namespace ziv
