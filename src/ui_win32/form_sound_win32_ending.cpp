// How the main window ends: a close, or the end of the session.
#include "settings/ini_ctrl.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/ui_gate_win32.h"

#include "base/windows_api.h"

namespace ziv {

void TFormSoundWin32::CloseRequested() {
    // A close during a message stops it, then comes first of the input held
    // meanwhile: the transmitter is never keyed for longer than it takes.
    if (gate_ && gate_->Holding()) {
        if (gate_->Busy())
            StopMessage();
        gate_->HoldFirst([w = window_] { SendMessageW(w, WM_CLOSE, 0, 0); });
        return;
    }
    // A modal window open over this one (a close by another program, or the
    // end of the session) is closed first so that its loop ends; the close
    // comes back after it. One that will not close is left to go with this.
    constexpr int kTries = 5;
    if (!IsWindowEnabled(window_) && modalCloseTries_ < kTries && CloseModals()) {
        ++modalCloseTries_;
        PostMessageW(window_, WM_CLOSE, 0, 0);
        return;
    }
    Close();
}

namespace {

struct TModalSearch {
    HWND owner;
    HWND tooltip;
    bool found;
};

BOOL CALLBACK CloseOwnedWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<TModalSearch*>(data);
    if (window != search.tooltip && GetWindow(window, GW_OWNER) == search.owner &&
        IsWindowVisible(window)) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        search.found = true;
    }
    return TRUE;
}

}  // namespace

bool TFormSoundWin32::CloseModals() {
    TModalSearch search{window_, tooltip_, false};
    EnumThreadWindows(GetCurrentThreadId(), &CloseOwnedWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void TFormSoundWin32::StopMessage() {
    try {
        keyer_.WavePlayer.Stop();
    } catch (...) {
        // The close unkeys next anyway.
    }
}

void TFormSoundWin32::EndSession() {
    // The system may end the process as soon as this returns, so nothing may
    // wait: no box for an error, the message that plays stops, and the
    // transmitter is unkeyed, the port closed and the settings saved right
    // here, even inside a play or a modal window's loop. The play's own end
    // finds the port closed, where unkeying does nothing.
    errors_.SetQuiet(true);
    StopMessage();
    CloseNow();
    // If the process lives on, the modal windows and this one close too.
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

}  // namespace ziv
