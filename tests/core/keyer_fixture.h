#pragma once

#include <gtest/gtest.h>

#include <string>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "core/message_slots.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"

namespace ziv::test {

// A keyer on the virtual clock with an open fake port, a fake sound
// service and three slots: "a.wav" (3 s), "b.wav" (2 s) and an empty one.
class KeyerFixture : public ::testing::Test {
protected:
    KeyerFixture() {
        platform.Clock = [this] { return ui.Now(); };
        com.AttachHandle(7);
        sound.SetLength("a.wav", 3000);
        sound.SetLength("b.wav", 2000);
        slots.SetPath(1, "a.wav");
        slots.SetPath(2, "b.wav");
    }

    void Key(std::uint16_t vk, TShiftState shift = 0) { keyer.FormKeyDown(vk, shift); }
    // What the operator sees of the send, repeat and stop buttons.
    std::string Buttons() const {
        std::string s;
        s += keyer.BtnTimer.Visible() ? (keyer.BtnTimer.Enabled() ? "timer " : "timer(off) ") : "";
        s += keyer.BtnStop.Visible() ? "stop " : "";
        s += keyer.BtnStart.Enabled() ? "start" : "start(off)";
        return s + (keyer.BtnStart.Down() ? "-down" : "-up");
    }
    // Runs one input event at virtual time `at` (delivered in order).
    template <typename F>
    void At(std::int64_t at, F event) {
        ui.PostAt(at, event);
    }
    // Times of the line changes, as "time:CALL".
    std::vector<std::string> Timeline() const {
        std::vector<std::string> out;
        for (const auto& c : platform.Calls)
            out.push_back(std::to_string(c.time) + ":" + c.name);
        return out;
    }
    std::vector<std::int64_t> PlayStarts() const {
        std::vector<std::int64_t> out;
        for (const auto& p : sound.Plays)
            out.push_back(p.start);
        return out;
    }

    TVirtualUiThread ui;
    TFakeCommPlatform platform;
    TTestComm com{platform};
    TFakeSoundService sound{ui};
    TSRWavePlayer player{sound};
    TCountingBeep beep;
    TMessageSlots slots;
    TKeyer keyer{com, player, ui, beep, slots};
};

}  // namespace ziv::test
