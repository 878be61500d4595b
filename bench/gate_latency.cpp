// What the responsive play costs: the delay from a synchronous play call to
// the start of the real play on the worker thread, and from the end of the
// real play to the call's return on the user-interface thread. Prints the
// figures; no limits are checked here.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/ui_gate.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ziv::TUiGate gate;
    using Clock = std::chrono::steady_clock;
    std::vector<double> startUs, returnUs;
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < 200; ++i) {
            Clock::time_point called, started, ended;
            called = Clock::now();
            gate.RunBlocking([&] {
                started = Clock::now();
                ended = Clock::now();
            });
            const Clock::time_point returned = Clock::now();
            startUs.push_back(std::chrono::duration<double, std::micro>(started - called).count());
            returnUs.push_back(std::chrono::duration<double, std::micro>(returned - ended).count());
        }
        QApplication::quit();
    });
    QApplication::exec();
    auto report = [](const char* what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        std::printf("%-34s median %7.1f us, 95th %7.1f us, max %7.1f us\n", what, v[v.size() / 2],
                    v[v.size() * 95 / 100], v.back());
    };
    report("play call -> worker starts:", startUs);
    report("worker ends -> play call returns:", returnUs);
    return 0;
}
