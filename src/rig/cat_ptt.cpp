#include "rig/cat_ptt.h"

namespace ziv::rig {

TCatPtt::TCatPtt(TBlockingRunner& runner, std::unique_ptr<ITcpLink> link, const std::string& host,
                 int port)
    : runner_(runner), client_(std::move(link), host, port) {}

TCatPtt::~TCatPtt() {
    StopWatch();
    std::string ignored;
    if (client_.Connected())
        client_.Release(&ignored);
}

void TCatPtt::SetOnLost(std::function<void(const std::string& why)> lost) {
    StopWatch();
    lost_ = std::move(lost);
}

void TCatPtt::StartWatch() {
    if (!lost_ || watch_.joinable())
        return;
    stopWatch_ = false;
    watch_ = std::thread([this] {
        std::unique_lock<std::mutex> guard(lock_);
        while (!wake_.wait_for(guard, std::chrono::milliseconds(WatchMs),
                               [this] { return stopWatch_; })) {
            bool on = false;
            std::string why;
            guard.unlock();  // a stop waits for this read at most
            const bool read = client_.ReadPtt(&on, &why);
            guard.lock();
            if (stopWatch_)
                return;
            if (!read || !on) {
                lost_(read ? "the radio unkeyed by itself" : why);
                return;
            }
        }
    });
}

void TCatPtt::StopWatch() {
    if (!watch_.joinable())
        return;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopWatch_ = true;
    }
    wake_.notify_all();
    watch_.join();
}

bool TCatPtt::Switch(bool transmit, std::string* why) {
    // The client is used by one thread at a time.
    StopWatch();
    bool done = false;
    runner_.RunBlocking([&] {
        done = client_.SetPtt(transmit, why);
        // An unkey that failed is tried once more on a new connection; the
        // failure is told either way, as the radio may have sent meanwhile.
        if (!done && !transmit) {
            std::string again;
            *why += client_.Release(&again) ? " (then unkeyed on a new connection)" : "";
        }
    });
    if (done && transmit)
        StartWatch();
    return done;
}

std::unique_ptr<TPttSwitch> NewPttSwitch(const TPttChoice& choice, TBlockingRunner& runner) {
    switch (choice.method) {
        case TPttMethod::Cat:
            return std::make_unique<TCatPtt>(runner, NewTcpLink(), choice.host, choice.port);
        case TPttMethod::None:
            return std::make_unique<TVoxPtt>();
        case TPttMethod::SerialLine:
            break;
    }
    return nullptr;
}

}  // namespace ziv::rig
