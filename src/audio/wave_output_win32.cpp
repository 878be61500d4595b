#include "audio/wave_output_win32.h"

#include <atomic>
#include <chrono>
#include <utility>
#include <vector>

#include "audio/wave_devices_win32.h"
#include "base/windows_api.h"
// Needs windows.h first; not part of it under WIN32_LEAN_AND_MEAN.
#include <mmsystem.h>

// Why waveOut and not PlaySoundA: under Wine, PlaySoundA(SND_SYNC) starts
// 84-190 ms after the call (it opens the device each time) while the
// transmitter is already keyed, and there is no way to open it earlier.
// waveOutOpen is just as slow (135-161 ms) but can be done in
// PrepareSound, during the key-up delay; waveOutWrite then starts at once.
// The end is WHDR_DONE, 13-36 ms after the last sample under Wine. The
// device's position cannot tell it sooner: under Wine it counts the bytes
// handed to the sound server and reaches the end about 85 ms before the
// last sample is heard.

namespace ziv::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting play looks at the device's progress.
constexpr DWORD kPollMs = 50;

std::string WaveOutErrorText(MMRESULT code) {
    char text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextA(code, text, sizeof text) != MMSYSERR_NOERROR || text[0] == '\0')
        return "wave output error " + std::to_string(code);
    return win32::WithoutFullStop(text);
}

class TWaveOutputImpl final : public TWaveOutput {
public:
    TWaveOutputImpl(std::string path, TWaveFile wave, unsigned device)
        : path_(std::move(path)), wave_(std::move(wave)), device_(device) {}

    ~TWaveOutputImpl() override {
        if (out_ != nullptr) {
            waveOutReset(out_);
            if (prepared_)
                waveOutUnprepareHeader(out_, &header_, sizeof header_);
            waveOutClose(out_);
        }
        if (done_ != nullptr)
            CloseHandle(done_);
        if (stop_ != nullptr)
            CloseHandle(stop_);
    }

    TWaveOutputImpl(const TWaveOutputImpl&) = delete;
    TWaveOutputImpl& operator=(const TWaveOutputImpl&) = delete;

    const std::string& Path() const override { return path_; }

    bool Start(std::string* why) override {
        const MMRESULT result = waveOutWrite(out_, &header_, sizeof header_);
        if (result == MMSYSERR_NOERROR)
            return true;
        *why = "the sound output refused the samples (" + WaveOutErrorText(result) + ")";
        return false;
    }

    void Stop() override {
        stopped_ = true;
        SetEvent(stop_);
        waveOutReset(out_);
    }

    TEnd Wait(bool looping, TStallRules options, std::string* why) override {
        const HANDLE events[] = {stop_, done_};
        DWORD lastPosition = Position();
        Clock::time_point lastMove = Clock::now();
        bool moved = false;
        // Set once the device moves: by then the whole buffer is played
        // within its length and the stall allowance.
        Clock::time_point latestEnd = Clock::time_point::max();
        for (;;) {
            const DWORD woke = WaitForMultipleObjects(2, events, FALSE, kPollMs);
            if (woke == WAIT_OBJECT_0 || stopped_)
                return TEnd::Stopped;
            if (Played()) {
                if (!looping)
                    return TEnd::Done;
                if (!Start(why))
                    return TEnd::Failed;
                latestEnd = Clock::time_point::max();
                moved = false;
                continue;
            }
            if (woke == WAIT_FAILED) {
                *why = SystemErrorText(GetLastError());
                return TEnd::Failed;
            }
            const DWORD position = Position();
            const Clock::time_point now = Clock::now();
            // The position may go on moving while the buffer is never handed
            // back (a starved sound thread under Wine held a transmitter
            // keyed 18 s past the message's end): the length bounds it.
            if (now > latestEnd) {
                *why = "the sound device did not end the message in its time";
                return TEnd::Failed;
            }
            if (position != lastPosition) {
                if (!moved)
                    latestEnd = now + Length() + std::chrono::milliseconds(options.stallMs);
                lastPosition = position;
                lastMove = now;
                moved = true;
            } else if (now - lastMove >
                       std::chrono::milliseconds(moved ? options.stallMs : options.startMs)) {
                *why = moved ? "the sound device stopped taking samples"
                             : "the sound device does not start playing";
                return TEnd::Failed;
            }
        }
    }

    bool OpenDevice(std::string* why) {
        done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (done_ == nullptr || stop_ == nullptr) {
            *why = SystemErrorText(GetLastError());
            return false;
        }
        MMRESULT result = OpenAs(wave_.format);
        if (result == WAVERR_BADFORMAT) {
            const std::vector<unsigned char> extensible = ExtensibleFormat(wave_.format);
            if (!extensible.empty())
                result = OpenAs(extensible);
        }
        if (result != MMSYSERR_NOERROR) {
            out_ = nullptr;
            if (result == WAVERR_BADFORMAT)
                *why = "unsupported sound format (" + DescribeFormat(wave_) + ")";
            else if (result == MMSYSERR_NODRIVER || result == MMSYSERR_BADDEVICEID)
                *why = "no sound output device";
            else
                *why = "the sound output does not open (" + WaveOutErrorText(result) + ")";
            return false;
        }
        header_.lpData = wave_.samples.data();
        header_.dwBufferLength = static_cast<DWORD>(wave_.samples.size());
        result = waveOutPrepareHeader(out_, &header_, sizeof header_);
        if (result != MMSYSERR_NOERROR) {
            *why = "the sound output refused the buffer (" + WaveOutErrorText(result) + ")";
            return false;
        }
        prepared_ = true;
        return true;
    }

private:
    // The mapper converts what the device does not take as it is, also
    // for a device chosen by number.
    MMRESULT OpenAs(const std::vector<unsigned char>& format) {
        out_ = nullptr;
        const DWORD mapped = device_ == WAVE_MAPPER ? 0 : WAVE_MAPPED;
        return waveOutOpen(&out_, device_, reinterpret_cast<const WAVEFORMATEX*>(format.data()),
                           reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT | mapped);
    }

    // How long the buffer plays, at the format's bytes a second.
    Clock::duration Length() const {
        const auto* format = reinterpret_cast<const WAVEFORMATEX*>(wave_.format.data());
        const double seconds = format->nAvgBytesPerSec == 0
                                   ? 0.0
                                   : static_cast<double>(wave_.samples.size()) /
                                         static_cast<double>(format->nAvgBytesPerSec);
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    // The output thread sets WHDR_DONE; the event may also have been set
    // by the open, so the flag is what counts.
    bool Played() const {
        return (*static_cast<const volatile DWORD*>(&header_.dwFlags) & WHDR_DONE) != 0;
    }

    DWORD Position() const {
        MMTIME time{};
        time.wType = TIME_BYTES;
        if (waveOutGetPosition(out_, &time, sizeof time) != MMSYSERR_NOERROR)
            return 0;
        return time.wType == TIME_SAMPLES ? time.u.sample : time.u.cb;
    }

    std::string path_;
    TWaveFile wave_;
    unsigned device_;
    HWAVEOUT out_ = nullptr;
    HANDLE done_ = nullptr;
    HANDLE stop_ = nullptr;
    WAVEHDR header_{};
    bool prepared_ = false;
    std::atomic<bool> stopped_ = false;
};

}  // namespace

std::shared_ptr<TWaveOutput> TWaveOutput::Open(std::string path, const std::string& device,
                                               TWaveFile wave, std::string* why) {
    unsigned id = WAVE_MAPPER;
    if (!device.empty()) {
        // Never another output in its place: the radio would send nothing.
        const std::optional<unsigned> found = WaveOutId(device);
        if (!found) {
            *why = "no sound output " + device;
            return nullptr;
        }
        id = *found;
    }
    auto out = std::make_shared<TWaveOutputImpl>(std::move(path), std::move(wave), id);
    if (!out->OpenDevice(why))
        return nullptr;
    return out;
}

void WarmUpWaveOutput() {
    // 16-bit zeros are silence through any conversion or resampling. The
    // 8-bit silence used before (0x80) reached the output now and then as
    // full-scale -32768 samples: a click on the air through a VOX radio.
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 48000;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 96000;
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT out = nullptr;
    if (done == nullptr ||
        waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        if (done != nullptr)
            CloseHandle(done);
        return;
    }
    // 10 ms.
    char silence[960] = {};
    WAVEHDR header{};
    header.lpData = silence;
    header.dwBufferLength = sizeof silence;
    if (waveOutPrepareHeader(out, &header, sizeof header) == MMSYSERR_NOERROR) {
        if (waveOutWrite(out, &header, sizeof header) == MMSYSERR_NOERROR)
            for (int i = 0; i < 40 && (header.dwFlags & WHDR_DONE) == 0; ++i)
                WaitForSingleObject(done, 50);
        waveOutReset(out);
        waveOutUnprepareHeader(out, &header, sizeof header);
    }
    waveOutClose(out);
    CloseHandle(done);
}

}  // namespace ziv::win32
