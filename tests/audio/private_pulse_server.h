#pragma once

#include <sys/types.h>

#include <string>

namespace ziv::test {

// A PulseAudio server of the test's own, in a temporary directory, with a
// null sink "ziv_null" (mono float, 44.1 kHz unless told otherwise) as its
// only and default output.
// The process environment is pointed at it, so every client the test
// creates (and the programs it starts) talks to this server only.
//
// A silent keep-alive stream is kept connected: without one the null sink
// stalls for up to a couple of seconds when the first stream appears.
struct TSinkOptions {
    int rate = 44100;
    // Without rewinds the monitor keeps the first milliseconds of every new
    // stream; with them the sink rewrites what it had rendered ahead and the
    // monitor misses a little of it.
    bool noRewinds = false;
};

class TPrivatePulseServer {
public:
    explicit TPrivatePulseServer(TSinkOptions options = {});
    ~TPrivatePulseServer();
    TPrivatePulseServer(const TPrivatePulseServer&) = delete;
    TPrivatePulseServer& operator=(const TPrivatePulseServer&) = delete;

    // Starts the server and waits until it takes connections; false (with
    // the reason in Error()) when it does not come up.
    bool Start();
    // Ends the server in an orderly way.
    void Stop();
    // Ends the server abruptly, as a crash would.
    void Kill();
    // Freezes and thaws the server: a stalled sound server.
    void Pause();
    void Resume();

    const std::string& Dir() const { return dir_; }
    int Rate() const { return options_.rate; }
    const std::string& Error() const { return error_; }
    static constexpr const char* kSink = "ziv_null";
    static constexpr const char* kMonitor = "ziv_null.monitor";
    static constexpr int kRate = 44100;

private:
    pid_t Spawn(const char* const argv[], bool stdinFromZero);
    bool WaitForSocket(int ms);
    static int SinkInputs();
    static void End(pid_t& pid, int signal);

    TSinkOptions options_;
    std::string dir_;
    std::string error_;
    pid_t server_ = -1;
    pid_t keepAlive_ = -1;
};

}  // namespace ziv::test
