#pragma once

#include <pulse/pulseaudio.h>
#include <sndfile.h>

#include <memory>

// Owners for the handles of libpulse and libsndfile. Each deleter gives its
// handle back the one way it must go, so that no path of a playback can
// leak one or give it back wrongly. All but the sound file must be given
// back with the threaded main loop's lock held.

namespace ziv::pulse {

struct TProplistDeleter {
    void operator()(pa_proplist* props) const { pa_proplist_free(props); }
};
using TProplistPtr = std::unique_ptr<pa_proplist, TProplistDeleter>;

struct TSndFileDeleter {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using TSndFilePtr = std::unique_ptr<SNDFILE, TSndFileDeleter>;

// An operation given up before it completed: its callback must not run
// any more, because what it points at is going away.
struct TOperationDeleter {
    void operator()(pa_operation* op) const {
        pa_operation_cancel(op);
        pa_operation_unref(op);
    }
};
using TOperationPtr = std::unique_ptr<pa_operation, TOperationDeleter>;

// Drops the reference to an operation whose callback is running: it
// completes by itself, and cancelling it there would be wrong.
inline void ForgetCompleted(TOperationPtr& op) {
    if (op)
        pa_operation_unref(op.release());
}

// Drops the reference to an operation whose outcome nobody waits for.
inline void LetRun(pa_operation* op) {
    if (op)
        pa_operation_unref(op);
}

// A stream's callbacks point at its playback, so they are cut first; a
// stream still connected is disconnected before its last reference goes,
// or the server would keep playing it.
struct TStreamDeleter {
    void operator()(pa_stream* stream) const {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
};
using TStreamPtr = std::unique_ptr<pa_stream, TStreamDeleter>;

struct TContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};
using TContextPtr = std::unique_ptr<pa_context, TContextDeleter>;

struct TTimeEventDeleter {
    pa_mainloop_api* api = nullptr;
    void operator()(pa_time_event* event) const { api->time_free(event); }
};
using TTimeEventPtr = std::unique_ptr<pa_time_event, TTimeEventDeleter>;

inline TTimeEventPtr NewTimeEvent(pa_mainloop_api* api, const timeval* at,
                                  pa_time_event_cb_t callback, void* userdata) {
    return TTimeEventPtr(api->time_new(api, at, callback, userdata), TTimeEventDeleter{api});
}

// The loop's thread must have ended before the loop is freed.
struct TMainloopDeleter {
    void operator()(pa_threaded_mainloop* loop) const {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};
using TMainloopPtr = std::unique_ptr<pa_threaded_mainloop, TMainloopDeleter>;

class TLock {
public:
    explicit TLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~TLock() { pa_threaded_mainloop_unlock(loop_); }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

}  // namespace ziv::pulse
