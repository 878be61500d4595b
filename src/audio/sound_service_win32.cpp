#include "audio/sound_service_win32.h"

#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "audio/wav_file_win32.h"
#include "audio/wave_output_win32.h"
#include "base/diagnostics.h"

namespace ziv {
namespace {

using win32::TEnd;
using win32::TWaveFile;
using win32::TWaveOutput;

void ReportCannotPlay(const std::string& path, const std::string& why) {
    WriteDiagnostic(path.empty() ? "cannot play: " + why : "cannot play " + path + ": " + why);
}

using OutputPtr = std::shared_ptr<TWaveOutput>;

// Reads `path` and opens the output for it. Null with `why` set on
// failure; null with `empty` set for a sound without samples.
OutputPtr OpenSound(const std::string& path, const std::string& device, bool* empty,
                    std::string* why) {
    TWaveFile wave;
    *empty = false;
    if (!win32::ReadWaveFile(path, wave, why))
        return nullptr;
    if (wave.samples.empty()) {
        *empty = true;
        *why = "it holds no samples";
        return nullptr;
    }
    return TWaveOutput::Open(path, device, std::move(wave), why);
}

}  // namespace

struct TWin32SoundService::Impl {
    explicit Impl(TOptions opts) : options(opts) {
        // Out of the way of the first message, long before it is sent.
        try {
            warmer = std::thread(win32::WarmUpWaveOutput);
        } catch (const std::system_error&) {
            // The first play loads them instead.
        }
    }

    ~Impl() {
        Stop();
        JoinWaiter();
        if (warmer.joinable())
            warmer.join();
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    win32::TStallRules Rules() const { return {options.stallMs, options.startMs}; }

    void JoinWaiter() {
        if (waiter.joinable())
            waiter.join();
    }

    // Ends the wait of the play that ended by itself, and closes its output.
    void Release(const OutputPtr& out) {
        const std::lock_guard lock(state);
        if (playing == out)
            playing.reset();
    }

    void WaitAsync(const OutputPtr& out, bool looping) {
        std::string why;
        if (out->Wait(looping, Rules(), &why) == TEnd::Failed)
            ReportCannotPlay(out->Path(), why);
        Release(out);
    }

    // Takes the prepared output when it is for `path` and the sound now
    // playing away; the caller holds `calls`.
    OutputPtr Replace(const std::string& path, unsigned long long* stopsSeen) {
        const std::lock_guard lock(state);
        if (playing)
            playing->Stop();
        playing.reset();
        OutputPtr out;
        if (prepared && prepared->Path() == path && preparedFor == output)
            out = std::move(prepared);
        prepared.reset();
        *stopsSeen = stops;
        return out;
    }

    bool Play(const std::string& path, bool async, bool looping) {
        std::unique_lock call(calls);
        unsigned long long stopsSeen = 0;
        OutputPtr out = Replace(path, &stopsSeen);
        JoinWaiter();
        std::string why;
        if (!out) {
            bool empty = false;
            if (!(out = OpenSound(path, Output(), &empty, &why))) {
                if (!empty)
                    ReportCannotPlay(path, why);
                return empty;  // nothing to hear, and nothing wrong
            }
        }
        {
            const std::lock_guard lock(state);
            if (stops != stopsSeen)
                return true;  // stopped while the output was being opened
            if (!out->Start(&why)) {
                ReportCannotPlay(path, why);
                return false;
            }
            playing = out;
        }
        if (async)
            return StartWaiter(out, looping);
        call.unlock();
        const TEnd end = out->Wait(false, Rules(), &why);
        Release(out);
        if (end == TEnd::Failed)
            ReportCannotPlay(path, why);
        return end != TEnd::Failed;
    }

    bool StartWaiter(const OutputPtr& out, bool looping) {
        try {
            waiter = std::thread([this, out, looping] { WaitAsync(out, looping); });
            return true;
        } catch (const std::system_error& error) {
            Stop();
            ReportCannotPlay(out->Path(), error.what());
            return false;
        }
    }

    bool Prepare(const std::string& path) {
        const std::lock_guard call(calls);
        OutputPtr old;
        {
            const std::lock_guard lock(state);
            old = std::move(prepared);
            prepared.reset();
        }
        old.reset();  // closed outside the lock: Stop need not wait for it
        bool empty = false;
        std::string why;
        const std::string device = Output();
        OutputPtr out = OpenSound(path, device, &empty, &why);
        if (!out) {
            ReportCannotPlay(path, why);
            return false;
        }
        const std::lock_guard lock(state);
        prepared = std::move(out);
        preparedFor = device;
        return true;
    }

    void Stop() {
        OutputPtr wasPlaying;
        OutputPtr wasPrepared;
        {
            const std::lock_guard lock(state);
            ++stops;
            wasPlaying = std::move(playing);
            wasPrepared = std::move(prepared);
            playing.reset();
            prepared.reset();
            if (wasPlaying)
                wasPlaying->Stop();
        }
    }

    std::string Output() const {
        const std::lock_guard lock(state);
        return output;
    }

    TOptions options;
    std::string output;       // empty: the system's default; under `state`
    std::string preparedFor;  // the output `prepared` was opened on
    // One Play or Prepare sets up at a time; never held while a sound plays.
    std::mutex calls;
    // Guards what follows; never held while waiting for the device.
    mutable std::mutex state;
    OutputPtr playing;
    OutputPtr prepared;
    unsigned long long stops = 0;
    // Waits for the end of an asynchronous play; touched under `calls`.
    std::thread waiter;
    std::thread warmer;
};

TWin32SoundService::TWin32SoundService() : TWin32SoundService(TOptions{}) {}

TWin32SoundService::TWin32SoundService(TOptions options) : impl_(std::make_unique<Impl>(options)) {}

TWin32SoundService::~TWin32SoundService() = default;

bool TWin32SoundService::PlaySound(const std::string& sound, std::uint32_t flags) {
    const bool async = (flags & SND_ASYNC) != 0;
    // Looping needs the call to return; a synchronous loop would never end.
    const bool looping = async && (flags & SND_LOOP) != 0;
    return impl_->Play(sound, async, looping);
}

void TWin32SoundService::StopSound() {
    impl_->Stop();
}

bool TWin32SoundService::PrepareSound(const std::string& sound) {
    return impl_->Prepare(sound);
}

void TWin32SoundService::SetOutputDevice(const std::string& name) {
    const std::lock_guard lock(impl_->state);
    impl_->output = name;
}

bool TWin32SoundService::IsPlaying() const {
    const std::lock_guard lock(impl_->state);
    return impl_->playing != nullptr;
}

}  // namespace ziv
