#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "audio/pulse_handles.h"

namespace ziv::pulse {

using Clock = std::chrono::steady_clock;

// The connection to the sound server: libpulse's threaded main loop (the
// sound thread), the context on it, connected on first use and again after
// it has failed, and a tick that keeps waits from hanging.
//
// Everything here is guarded by the main loop's lock: callers take it with
// Lock(), and libpulse holds it while it runs the callbacks on its thread.
class TPulseConnection {
public:
    // What the owner of the playbacks is told, on the sound thread.
    class TListener {
    public:
        // The connection changed state.
        virtual void OnConnectionState(pa_context* context) = 0;
        // The connection is about to be dropped; streams on it must go first.
        virtual void OnConnectionDropping() = 0;
        // A tick; true while anything still needs watching.
        virtual bool OnTick() = 0;

    protected:
        ~TListener() = default;
    };

    TPulseConnection(TListener& listener, int connectMs);
    ~TPulseConnection();
    TPulseConnection(const TPulseConnection&) = delete;
    TPulseConnection& operator=(const TPulseConnection&) = delete;

    // False when the sound thread could not be started.
    bool Started() const { return loop_ != nullptr; }
    TLock Lock() { return TLock(loop_.get()); }

    // Connects, or reuses a good connection, and waits until it stands;
    // false with the reason when the server does not take it in time.
    bool Connect(std::string* error);
    // Drops the connection (after the listener has let go of it) and the
    // tick; the next Connect starts afresh.
    void Close();
    // Something stalled: the next Connect starts on a fresh connection.
    void MarkSuspect() { suspect_ = true; }

    // The server is PipeWire's PulseAudio service, which reports neither
    // its graph's cycle nor its output's latency. Known, as the rate is,
    // once the connection stands: Connect waits for the server's answer.
    bool OnPipeWire() const { return onPipeWire_; }
    // The rate the server's outputs run at by default (0 when not told).
    std::uint32_t ServerRate() const { return serverRate_; }

    pa_context* Context() const { return context_.get(); }
    pa_mainloop_api* Api() const { return api_; }
    int Errno() const { return pa_context_errno(context_.get()); }

    // Wakes every waiter to look at what it waits for again.
    void Signal() { pa_threaded_mainloop_signal(loop_.get(), 0); }
    // Ticks on the sound thread while anybody waits or anything plays.
    void ArmTicker();
    // Waits, with the lock released meanwhile, until `done` or `deadline`;
    // false when the deadline came first.
    bool WaitFor(const std::function<bool()>& done, std::optional<Clock::time_point> deadline);

private:
    bool StartConnecting(std::string* error);
    bool WaitConnected(std::string* error);
    void Drop();
    static void OnState(pa_context* context, void* userdata);
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* userdata);
    static void OnTickEvent(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);

    TListener& listener_;
    int connectMs_;
    TMainloopPtr loop_;
    pa_mainloop_api* api_ = nullptr;
    TContextPtr context_;
    bool suspect_ = false;
    bool onPipeWire_ = false;
    std::uint32_t serverRate_ = 0;
    bool serverKnown_ = false;  // the server's name and rate have been told
    Clock::time_point connectStarted_;
    TTimeEventPtr ticker_;
    bool tickerArmed_ = false;
    int waiters_ = 0;
};

}  // namespace ziv::pulse
