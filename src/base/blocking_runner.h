#pragma once

#include <exception>
#include <functional>
#include <system_error>
#include <thread>

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

// The part of RunBlocking that is the same in every flavour: the job on a
// thread of its own, whose end it reports through `finished`, while `wait`
// runs the flavour's local event loop here until then. Without a thread to
// spare the job runs here instead: the window waits, but whoever shut the
// gate for it still opens it again. Rethrows what the job threw.
inline void RunOnWorkerThread(const std::function<void()>& job,
                              const std::function<void()>& finished,
                              const std::function<void()>& wait) {
    std::exception_ptr error;
    const auto guarded = [&] {
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
    };
    std::thread worker;
    try {
        worker = std::thread([&] {
            guarded();
            finished();
        });
    } catch (const std::system_error&) {
        guarded();
    }
    if (worker.joinable()) {
        wait();
        worker.join();
    }
    if (error)
        std::rethrow_exception(error);
}

}  // namespace ziv
