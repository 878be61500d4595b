#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "core/message_recorder.h"
#include "core/station_recording_home.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_capture.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/ui_gate_win32.h"
#include "ui_win32/win32_text.h"

#include "win32_window_test_support.h"

namespace ziv::test {
namespace {

// The main window with a real recorder, wired as the program wires them,
// over the fake sound input; the settings file and the recordings live in
// a folder of the test's own.
class RecordingWin32 : public ::testing::Test, protected TWin32FormRig {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "ziv-recording-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        ConfigureStationIni(ini, folder + "\\ZIVSound.ini");
        CreateForm();
        home = std::make_unique<TStationRecordingHome>(ini, *form);
        recorder = std::make_unique<TMessageRecorder>(keyer, capture, gate, beep, *home);
        recorder->OnStatus = [this](const TRecordingStatus& s) { form->ShowRecordingStatus(s); };
    }
    void TearDown() override {
        recorder.reset();
        home.reset();
        form.reset();
        for (const char* name : {"message1.wav", "ZIVSound.ini"})
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }

    std::wstring Title() const { return TextOf(form->Window()); }
    std::wstring StatusTitle() const {
        return L"Zivsound \u2014 " + WideFromUtf8(RecordingStatusText(recorder->Status()));
    }

    std::string folder;
    TFakeSoundCapture capture;
    std::unique_ptr<TStationRecordingHome> home;
    std::unique_ptr<TMessageRecorder> recorder;
};

TEST_F(RecordingWin32, CtrlShiftF1RecordsWithCaptionAndTitleAndAFailedStartShowsWhy) {
    slots.SetPath(1, "C:\\msgs\\cq.wav");
    slots.SetPath(2, "C:\\msgs\\qrz.wav");
    form->SetPlayCaption(1, "CQ TEST");
    HWND control = form->Control("TrackBar1");
    HWND play1 = form->Control("BtnPlay1");

    Press(control, VK_F1, true, true);
    ASSERT_TRUE(capture.Running);
    EXPECT_EQ(TextOf(play1), L"\u25cf 0:00");
    EXPECT_EQ(SendMessageW(play1, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Title(), StatusTitle());
    EXPECT_NE(Title().find(L"1 0:00"), std::wstring::npos);
    EXPECT_FALSE(IsWindowEnabled(form->Control("BitBtn1")));

    // Ctrl+Enter while recording is refused and keys nothing.
    const int beeps = beep.Count();
    Press(control, VK_RETURN, true, false);
    EXPECT_EQ(beep.Count(), beeps + 1);
    EXPECT_FALSE(keyer.Timer2->Enabled());
    EXPECT_TRUE(sound.Plays.empty());
    EXPECT_TRUE(capture.Running);

    // The same keys again keep what came: the caption is the label again
    // and the slot names the file beside the settings.
    capture.Feed(600, 12000);
    Press(control, VK_F1, true, true);
    EXPECT_FALSE(capture.Running);
    EXPECT_EQ(TextOf(play1), L"CQ TEST");
    EXPECT_EQ(Title(), L"Zivsound");
    EXPECT_TRUE(IsWindowEnabled(form->Control("BitBtn1")));
    const std::string kept = slots.Path(1);
    EXPECT_NE(kept.find("message1.wav"), std::string::npos) << kept;
    EXPECT_NE(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES) << kept;
    EXPECT_EQ(beep.Count(), beeps + 1);

    // Shift alone or Ctrl alone with F2 only chooses the message.
    Press(control, VK_F2, false, true);
    Press(control, VK_F2, true, false);
    EXPECT_EQ(capture.Starts, 1);

    // An input that will not start: the reason in the title, the caption
    // as it was.
    capture.StartError = "no sound input";
    Press(control, VK_F2, true, true);
    EXPECT_FALSE(capture.Running);
    EXPECT_EQ(capture.Starts, 2);
    EXPECT_EQ(Title().rfind(L"Zivsound \u2014 ", 0), 0u) << Utf8FromWide(Title());
    EXPECT_NE(Title().find(L"no sound input"), std::wstring::npos) << Utf8FromWide(Title());
    EXPECT_EQ(beep.Count(), beeps + 2);
}

}  // namespace
}  // namespace ziv::test
