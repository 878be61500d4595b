#pragma once

#include "base/ui_invoker.h"
#include "ui/ui_gate.h"

namespace ziv {

// Hands calls from other threads (the port's event thread) to the
// user-interface thread through the gate, so that they wait behind a
// playing message like every other event and come in their order.
class TQtUiInvoker : public TUiInvoker {
public:
    explicit TQtUiInvoker(TUiGate& gate) : gate_(gate) {}
    void InvokeAsync(std::function<void()> call) override { gate_.Post(std::move(call)); }

private:
    TUiGate& gate_;
};

}  // namespace ziv
