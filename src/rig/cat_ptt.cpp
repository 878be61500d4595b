#include "rig/cat_ptt.h"

namespace ziv::rig {

TCatPtt::TCatPtt(TBlockingRunner& runner, std::unique_ptr<ITcpLink> link, const std::string& host,
                 int port)
    : runner_(runner), client_(std::move(link), host, port) {}

TCatPtt::~TCatPtt() {
    std::string ignored;
    if (client_.Connected())
        client_.Release(&ignored);
}

bool TCatPtt::Switch(bool transmit, std::string* why) {
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
