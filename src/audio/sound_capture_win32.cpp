#include "audio/sound_capture_win32.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "audio/wav_file_win32.h"
#include "audio/wave_devices_win32.h"

#include "base/windows_api.h"
// Needs windows.h first; WIN32_LEAN_AND_MEAN leaves it out.
#include <mmsystem.h>

namespace ziv {
namespace {

using namespace std::chrono_literals;

// Six buffers of 50 ms: the device has 300 ms in hand while the capture
// thread is late, and Take, ten times a second, gets what came up to
// 50 ms before.
constexpr int kBuffers = 6;
constexpr int kBufferSamples = TWin32SoundCapture::kSampleRate / 20;

// How long Start waits for the device to open. The first open of a
// process also loads the audio drivers (for the output, one to two seconds
// under Wine): the constructor starts that, long before the first Start.
constexpr auto kOpenWait = 2s;
// How long Stop waits for the capture thread; one stuck in the driver is
// left behind with what it shares.
constexpr auto kStopWait = 1s;
// How often the capture thread asks the device whether it is still there
// while no buffer comes back.
constexpr DWORD kPollMs = 100;

std::string WaveInErrorText(MMRESULT code) {
    char text[MAXERRORLENGTH] = {};
    if (waveInGetErrorTextA(code, text, sizeof text) != MMSYSERR_NOERROR || text[0] == '\0')
        return "wave input error " + std::to_string(code);
    return win32::WithoutFullStop(text);
}

// One capture, from the open to the close: shared by the capture thread
// and the object, so that a thread left behind still has all it touches.
struct TSession {
    TSession() {
        data = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (data == nullptr || stop == nullptr)
            eventsError = GetLastError();  // this thread's: the capture thread reports it
        for (auto& buffer : memory)
            buffer.resize(kBufferSamples);
    }
    ~TSession() {
        if (data != nullptr)
            CloseHandle(data);
        if (stop != nullptr)
            CloseHandle(stop);
    }
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // --- the capture thread's alone ---
    HWAVEIN in = nullptr;
    std::string device;  // empty: the system's default input
    WAVEHDR headers[kBuffers] = {};
    bool prepared[kBuffers] = {};
    std::vector<std::int16_t> memory[kBuffers];
    // Set by the device for each buffer it hands back; the stop event by
    // the object. Both made before the thread starts, closed after it.
    HANDLE data = nullptr;
    HANDLE stop = nullptr;
    DWORD eventsError = 0;

    // --- guarded by `lock` ---
    std::mutex lock;
    std::condition_variable changed;
    bool opened = false;  // the open has ended, well or not
    bool ended = false;   // the thread is about to return
    bool failed = false;
    std::string error;
    std::vector<std::int16_t> samples;

    void Fail(const std::string& why) {
        const std::lock_guard guard(lock);
        if (!failed) {
            failed = true;
            error = why;
        }
    }

    void Signal(bool* flag) {
        {
            const std::lock_guard guard(lock);
            *flag = true;
        }
        changed.notify_all();
    }

    bool Stopping() const { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }

    // The device hands the buffers back in the order they were added.
    static bool Done(const WAVEHDR& header) {
        return (*static_cast<const volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
    }

    bool Open() {
        if (data == nullptr || stop == nullptr) {
            Fail(win32::SystemErrorText(eventsError));
            return false;
        }
        if (waveInGetNumDevs() == 0) {
            Fail("no sound input device");
            return false;
        }
        UINT id = WAVE_MAPPER;
        if (!device.empty()) {
            const std::optional<unsigned> found = win32::WaveInId(device);
            if (!found) {
                Fail("no sound input " + device);
                return false;
            }
            id = *found;
        }
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = TWin32SoundCapture::kSampleRate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 2;
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        const DWORD mapped = id == WAVE_MAPPER ? 0 : WAVE_MAPPED;
        MMRESULT result = waveInOpen(&in, id, &format, reinterpret_cast<DWORD_PTR>(data), 0,
                                     CALLBACK_EVENT | mapped);
        if (result != MMSYSERR_NOERROR) {
            in = nullptr;
            if (result == MMSYSERR_NODRIVER || result == MMSYSERR_BADDEVICEID)
                Fail("no sound input device");
            else if (result == WAVERR_BADFORMAT)
                Fail("the sound input does not record 16-bit mono at 48000 Hz");
            else
                Fail("the sound input does not open (" + WaveInErrorText(result) + ")");
            return false;
        }
        for (int i = 0; i < kBuffers; ++i) {
            headers[i].lpData = reinterpret_cast<LPSTR>(memory[i].data());
            headers[i].dwBufferLength = static_cast<DWORD>(memory[i].size() * sizeof(std::int16_t));
            result = waveInPrepareHeader(in, &headers[i], sizeof headers[i]);
            if (result == MMSYSERR_NOERROR) {
                prepared[i] = true;
                result = waveInAddBuffer(in, &headers[i], sizeof headers[i]);
            }
            if (result != MMSYSERR_NOERROR) {
                Fail("the sound input refused a buffer (" + WaveInErrorText(result) + ")");
                return false;
            }
        }
        result = waveInStart(in);
        if (result != MMSYSERR_NOERROR) {
            Fail("the sound input does not start (" + WaveInErrorText(result) + ")");
            return false;
        }
        return true;
    }

    // Hands over the buffers the device has filled, oldest first, and gives
    // them back to it. False once the device takes none any more.
    bool Gather(int* next) {
        while (Done(headers[*next])) {
            WAVEHDR& header = headers[*next];
            const auto* first = reinterpret_cast<const std::int16_t*>(header.lpData);
            const std::size_t count = header.dwBytesRecorded / sizeof(std::int16_t);
            {
                const std::lock_guard guard(lock);
                samples.insert(samples.end(), first, first + count);
            }
            header.dwFlags &= ~WHDR_DONE;
            const MMRESULT result = waveInAddBuffer(in, &header, sizeof header);
            if (result != MMSYSERR_NOERROR) {
                Fail("the sound input stopped (" + WaveInErrorText(result) + ")");
                return false;
            }
            *next = (*next + 1) % kBuffers;
        }
        return true;
    }

    // A device that went away hands no buffer back; its position says so.
    bool StillThere() {
        MMTIME time{};
        time.wType = TIME_BYTES;
        const MMRESULT result = waveInGetPosition(in, &time, sizeof time);
        if (result == MMSYSERR_NOERROR)
            return true;
        Fail("the sound input stopped (" + WaveInErrorText(result) + ")");
        return false;
    }

    void Capture() {
        const HANDLE events[] = {stop, data};
        int next = 0;
        for (;;) {
            const DWORD woke = WaitForMultipleObjects(2, events, FALSE, kPollMs);
            if (woke == WAIT_OBJECT_0)
                return;
            if (woke == WAIT_FAILED) {
                Fail(win32::SystemErrorText(GetLastError()));
                return;
            }
            if (!Gather(&next))
                return;
            if (woke == WAIT_TIMEOUT && !StillThere())
                return;
        }
    }

    void Close() {
        if (in == nullptr)
            return;
        // Hands every buffer back, so that each can be unprepared.
        waveInReset(in);
        for (int i = 0; i < kBuffers; ++i)
            if (prepared[i])
                waveInUnprepareHeader(in, &headers[i], sizeof headers[i]);
        waveInClose(in);
        in = nullptr;
    }

    void Run() {
        const bool open = Open();
        Signal(&opened);
        if (open && !Stopping())
            Capture();
        Close();
        Signal(&ended);
    }
};

}  // namespace

struct TWin32SoundCapture::Impl {
    Impl() {
        // Loads the audio drivers out of the way of the first recording.
        try {
            warmer = std::thread([] { waveInGetNumDevs(); });
        } catch (const std::system_error&) {
            // The first Start loads them instead.
        }
    }

    ~Impl() {
        Stop();
        if (warmer.joinable())
            warmer.join();
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Waits at most `limit` for the thread to end, and lets it go.
    void Release(std::chrono::milliseconds limit) {
        if (!session)
            return;
        SetEvent(session->stop);
        bool ended = false;
        {
            std::unique_lock guard(session->lock);
            ended = session->changed.wait_for(guard, limit, [this] { return session->ended; });
        }
        if (ended)
            thread.join();
        else
            thread.detach();  // still holds the session: it ends by itself
        session.reset();
    }

    void Stop() { Release(kStopWait); }

    bool Start(std::string* error) {
        Stop();
        auto fresh = std::make_shared<TSession>();
        fresh->device = device;
        try {
            thread = std::thread([fresh] { fresh->Run(); });
        } catch (const std::system_error& failure) {
            *error = failure.what();
            return false;
        }
        session = std::move(fresh);
        bool opened = false;
        bool failed = false;
        std::string why;
        {
            std::unique_lock guard(session->lock);
            opened =
                session->changed.wait_for(guard, kOpenWait, [this] { return session->opened; });
            failed = session->failed;
            why = session->error;
        }
        if (!opened) {
            *error = "the sound input does not answer";
            Release(0ms);
            return false;
        }
        if (failed) {
            *error = why;
            Stop();
            return false;
        }
        return true;
    }

    bool Take(std::vector<std::int16_t>* samples, std::string* error) {
        if (!session)
            return true;
        const std::lock_guard guard(session->lock);
        samples->insert(samples->end(), session->samples.begin(), session->samples.end());
        session->samples.clear();
        if (session->failed) {
            *error = session->error;
            return false;
        }
        return true;
    }

    std::shared_ptr<TSession> session;
    std::thread thread;
    std::thread warmer;
    std::string device;  // empty: the system's default input
};

TWin32SoundCapture::TWin32SoundCapture() : impl_(std::make_unique<Impl>()) {}

TWin32SoundCapture::~TWin32SoundCapture() = default;

bool TWin32SoundCapture::Start(std::string* error) {
    return impl_->Start(error);
}

int TWin32SoundCapture::SampleRate() const {
    return kSampleRate;
}

bool TWin32SoundCapture::Take(std::vector<std::int16_t>* samples, std::string* error) {
    return impl_->Take(samples, error);
}

void TWin32SoundCapture::Stop() {
    impl_->Stop();
}

void TWin32SoundCapture::SetInputDevice(const std::string& name) {
    impl_->device = name;
}

}  // namespace ziv
