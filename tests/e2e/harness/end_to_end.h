#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/private_pulse_server.h"
#include "e2e/harness/line_log.h"
#include "e2e/harness/message_wav.h"
#include "e2e/harness/sink_recording.h"
#include "e2e/harness/station.h"

namespace ziv::e2e {

// Everything one run of the real program needs: a directory, a private
// sound server with a 48 kHz null sink whose output is recorded, an X
// server, serial device doubles and a line log on the sound's clock.
// The program and the double's library come from ZIV_E2E_PROGRAM and
// ZIV_E2E_SERIAL_DOUBLE.
class TEndToEnd {
public:
    static constexpr int kSinkRate = 48000;

    TEndToEnd();
    ~TEndToEnd();
    TEndToEnd(const TEndToEnd&) = delete;
    TEndToEnd& operator=(const TEndToEnd&) = delete;

    // Starts the servers; false with the reason in Error().
    bool Start();
    const std::string& Error() const { return error_; }
    const std::string& Dir() const { return dir_; }
    // The private sound server, to stop, freeze or kill it.
    test::TPrivatePulseServer& Sound() { return *sound_; }
    // The X server's display; only after a successful Start().
    const std::string& Display() const { return x_->Display(); }

    // Makes the sink's monitor the server's default source, so that what is
    // played into the sink is what a program records; false with the
    // reason in Error().
    bool MonitorAsDefaultSource();
    // Plays a sound file into the sink and waits until it has drained;
    // false with the reason in Error().
    bool PlayIntoSink(const std::string& path);

    // A fresh device double served to every station started after this.
    std::string NewDevice(const std::string& name);
    std::string NewMessage(const std::string& name, const TMarkedMessage& message);
    TStation& NewStation(const std::string& name, const TStationSettings& settings);
    // Starts a station with the double preloaded.
    bool Launch(TStation& station);

    // The set-up most runs share: Start(), the device double "ttyE0" and a
    // station that keys `ptt` on it as COM1 with `messages` as its message
    // files, not yet launched. Null with the reason in Error().
    TStation* StationOnCom1(const TPtt& ptt, const std::vector<TMarkedMessage>& messages = {});
    // The first device double: the one of StationOnCom1().
    const std::string& Device() const { return devices_.front(); }

    std::vector<TLineEvent> Lines() const { return ReadLineLog(log_); }
    const std::string& LogPath() const { return log_; }
    std::vector<THeardSound> Sounds() { return recording_->Sounds(); }

    // Waits until `count` transmissions on the device have ended, then
    // `settleMs` more so that the recording holds their last samples.
    bool WaitForTransmissions(const std::string& device, const TPtt& ptt, std::size_t count,
                              int timeoutMs, int settleMs = 300);

private:
    std::string dir_;
    std::string error_;
    std::string program_;
    std::string preload_;
    std::string log_;
    std::vector<std::string> devices_;
    std::unique_ptr<test::TPrivatePulseServer> sound_;
    std::unique_ptr<TXServer> x_;
    std::unique_ptr<TSinkRecording> recording_;
    std::vector<std::unique_ptr<TStation>> stations_;
};

// A station keying `ptt` on `device`, which it knows as COM1.
TStationSettings OnCom1(const std::string& device, const TPtt& ptt = {});

// The sound heard inside a transmission's keyed window (from keying to
// 250 ms after unkeying); null when none.
const THeardSound* SoundOf(const TKeyedSpan& span, const std::vector<THeardSound>& sounds);

}  // namespace ziv::e2e
