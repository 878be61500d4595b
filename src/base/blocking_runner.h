#pragma once

#include <functional>

namespace ziv {

// Runs a job that blocks (a message that plays) while the user-interface
// thread keeps painting and answering the desktop, holding back everything
// that could run the keyer's code until the job has ended. Rethrows what
// the job threw. Each flavour's user-interface gate is one.
class TBlockingRunner {
public:
    virtual void RunBlocking(const std::function<void()>& job) = 0;

protected:
    ~TBlockingRunner() = default;
};

}  // namespace ziv
