#pragma once

#include <sys/types.h>

#include <string>

namespace ziv::test {

// A PulseAudio server of the test's own, in a temporary directory, with a
// null sink "ziv_null" (mono float, 44.1 kHz) as its only and default
// output. The process environment is pointed at it, so every client the
// test creates (and the programs it starts) talks to this server only. A
// silent keep-alive stream is kept connected: without one the null sink
// stalls for up to a couple of seconds when the first stream appears.
class TPrivatePulseServer {
public:
    TPrivatePulseServer();
    ~TPrivatePulseServer();
    TPrivatePulseServer(const TPrivatePulseServer&) = delete;
    TPrivatePulseServer& operator=(const TPrivatePulseServer&) = delete;

    // Starts the server (again after Kill) and waits until it takes
    // connections; false, with the reason in Error(), when it does not.
    bool Start();
    void Kill();  // abruptly, as a crash would
    // Freezes and thaws the server: a stalled sound server.
    void Pause();
    void Resume();

    const std::string& Dir() const { return dir_; }
    const std::string& Error() const { return error_; }
    static constexpr const char* kMonitor = "ziv_null.monitor";
    static constexpr int kRate = 44100;

private:
    static void End(pid_t& pid, int signal);

    std::string dir_, error_;
    pid_t server_ = -1, keepAlive_ = -1;
};

}  // namespace ziv::test
