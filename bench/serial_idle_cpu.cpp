// Opens a pseudo-terminal as COM1 through the port component, with the
// keyer's settings, stays idle (as the keyer does between messages) and
// prints the CPU time the process used meanwhile.
//
//   serial_idle_cpu [seconds]      (default 10)

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>

#include "serial/comm.h"
#include "serial/comm_platform_posix.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class NoUi : public ziv::TUiInvoker {
public:
    void InvokeAsync(std::function<void()>) override {}
};

class PrintReport : public ziv::TErrorReport {
public:
    void ReportException(const std::exception& error) override {
        std::fprintf(stderr, "%s\n", error.what());
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const std::string slave = ::ptsname(master);

    ziv::TPosixCommPlatform platform([&](const std::string&) { return slave; });
    NoUi ui;
    PrintReport report;
    ziv::TVaComm com(platform, ui, report);
    com.SetDTREnable(false);
    com.SetRTSEnable(false);
    com.SetPortNum(1);
    com.Open();

    const double before = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double used = CpuSeconds() - before;
    // The event thread is there, asleep.
    const auto threads = std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                       std::filesystem::directory_iterator());

    com.Close();
    ::close(master);
    std::printf("port %s open, %ld threads, idle %.1f s: process CPU %.4f s (%.3f %%)\n",
                slave.c_str(), static_cast<long>(threads), elapsed, used, 100.0 * used / elapsed);
    return 0;
}
