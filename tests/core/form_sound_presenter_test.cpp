// The main window's decisions, once for both flavours: the presenter over
// the real keyer on the virtual clock, the real port component on the fake
// serial platform, a settings file of the test's own and a view that keeps
// what it is told.
#include "core/form_sound_presenter.h"

#include <gtest/gtest.h>

#include "core/default_error_report.h"
#include "core/message_recorder.h"
#include "keyer_fixture.h"
#include "settings/ini_ctrl.h"
#include "settings/settings_test_support.h"
#include "settings/station_settings.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;

struct TFakeView : TFormSoundView {
    std::string PortBoxText() const override { return port; }
    void SetPortBoxText(const std::string& text) override { port = text; }
    bool SettingsGroupShown() const override { return group; }
    void ShowSettingsGroup(bool shown) override { group = shown; }
    void ApplyOuterWidth(int value) override { width = value; }
    int WindowLeft() const override { return left; }
    void SetWindowLeft(int value) override { left = value; }
    int WindowTop() const override { return top; }
    void SetWindowTop(int value) override { top = value; }
    void SetTitle(const std::string& text) override { title = text; }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        boxes.push_back(caption + ": " + text);
    }
    void EnableFilesButton(bool enabled) override { filesButton = enabled; }
    std::string FileNameText(const std::string& path) const override {
        return path.substr(path.find_last_of('/') + 1);
    }
    std::string port, title;
    bool group = true, filesButton = true;
    int width = 0, left = 0, top = 0;
    Strings boxes;
};

class Presenter : public KeyerFixture {
protected:
    Presenter() {
        com.AttachHandle(INVALID_HANDLE_VALUE);  // the presenter opens it
        ConfigureStationIni(ini, Ini());
        ini.SetProgramPath("/radio/ZIVSound");
    }
    ~Presenter() override { com.Close(); }
    std::string Ini() const { return dir / "ZIVSound.ini"; }
    std::string Settings() const { return ReadBytes(Ini()); }
    void Choose(bool dtr, bool inverted) {
        (dtr ? keyer.rbDTR : keyer.rbRTS).SetChecked(true);
        (inverted ? keyer.rbInv : keyer.rbNorm).SetChecked(true);
    }
    // The levels the line went through since the port opened: the one it
    // opened with, then each one written.
    std::vector<bool> Levels(bool dtr) const {
        std::vector<bool> out;
        const int shift = dtr ? DCB_fDtrControlShift : DCB_fRtsControlShift;
        for (const auto& c : platform.Calls) {
            if (c.name == "SetCommState")
                out.push_back(((c.arg >> shift) & 3) != 0);
            else if (c.name == (dtr ? "SETDTR" : "SETRTS") || c.name == (dtr ? "CLRDTR" : "CLRRTS"))
                out.push_back(c.name[0] == 'S');
        }
        return out;
    }
    bool RadiosEnabled() const {
        return keyer.rbRTS.Enabled() && keyer.rbDTR.Enabled() && keyer.rbNorm.Enabled() &&
               keyer.rbInv.Enabled();
    }

    TempDir dir;
    TCommPort<TVaComm> port{com};
    TLMDIniCtrl ini;
    TFakeView view;
    TFormSoundPresenter presenter{view, keyer, port, ini, slots, "Zivsound"};
};

TEST_F(Presenter, FirstShowIsNarrowWithNoPortAndItsCloseSavesTheFirstRunSettings) {
    EXPECT_EQ(keyer.BtnPlay2.Caption(), "2 ĮRAŠAS");
    presenter.FormShow();
    EXPECT_FALSE(view.group);
    EXPECT_EQ(view.width, TFormSoundPresenter::NarrowWidth);
    EXPECT_TRUE(platform.Calls.empty());
    EXPECT_FALSE(RadiosEnabled());
    EXPECT_TRUE(view.boxes.empty());
    // The panel button widens and narrows; the files window's close narrows.
    presenter.BtnEW2Click();
    EXPECT_TRUE(view.group);
    EXPECT_EQ(presenter.OuterWidth(), TFormSoundPresenter::WideWidth);
    presenter.MakeNarrow();
    EXPECT_FALSE(view.group);
    EXPECT_EQ(view.width, TFormSoundPresenter::NarrowWidth);

    presenter.FormClose();
    // Every key in order; Windows-1257: "Į" is 0xC1, "Š" 0xD0.
    EXPECT_EQ(Settings(), NewFileText("[ZIV SOUND]\nMain=/radio/ZIVSound\nX=100\nY=100\nPort=0\n"
                                      "Wave File1=\nWave File2=\nWave File3=\nLabel1=1 \xC1RA\xD0"
                                      "AS\nLabel2=2 \xC1RA\xD0"
                                      "AS\nLabel3=3 \xC1RA\xD0"
                                      "AS\nRTS=0\nDTR=0\nNorm=1\nInv=0\n"));
}

TEST_F(Presenter, SettingsComeBackByteForByteAndOnlyLoadedOnesAreSaved) {
    const std::string text = NewFileText(
        "[ZIV SOUND]\nMain=/radio/ZIVSound\nX=-1200\nY=30\nPort=COM2\nWave File1=/m/cq.wav\n"
        "Wave File2=\nWave File3=/m/\xe0.wav\nLabel1=CQ \xc8\xdb\xde\nLabel2=QRZ\nLabel3=\nRTS=0\n"
        "DTR=1\nNorm=0\nInv=1\n");
    WriteBytes(Ini(), text);
    presenter.FormClose();  // never shown: nothing is saved
    EXPECT_EQ(Settings(), text);

    presenter.FormShow();
    EXPECT_EQ(view.left, -1200);
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "CQ ČŪŽ");
    EXPECT_EQ(platform.OpenedNames, Strings{"COM2"});
    EXPECT_TRUE(RadiosEnabled());
    presenter.FormClose();
    EXPECT_EQ(Settings(), text);
}

TEST_F(Presenter, EveryLineAndPolarityOpensAtItsIdleLevelAndIsLeftThereAtTheClose) {
    for (const bool dtr : {false, true}) {
        for (const bool inverted : {false, true}) {
            SCOPED_TRACE(testing::Message() << (dtr ? "DTR" : "RTS") << " inverted=" << inverted);
            Choose(dtr, inverted);
            platform.Calls.clear();
            view.port = dtr ? "COM4" : "COM1";
            presenter.PortTextEdited();
            ASSERT_TRUE(com.Active());
            EXPECT_EQ(platform.OpenedNames.back(), view.port);
            EXPECT_EQ(platform.CallsNamed("SetHangUpOnClose").back().arg, !inverted);
            const std::vector<bool> levels = Levels(dtr);
            ASSERT_GE(levels.size(), 2u) << "opened with a level and written at once";
            EXPECT_EQ(levels, std::vector<bool>(levels.size(), inverted));

            // Closed in the key-up delay: unkeyed, then closed.
            keyer.BtnPlay1Click();
            keyer.BtnStartClick();
            ASSERT_TRUE(keyer.Timer2->Enabled());
            ASSERT_EQ(Levels(dtr).back(), !inverted) << "keyed";
            presenter.FormClose();
            presenter.StopTimers();
            EXPECT_EQ(platform.CallNames().back(), "CloseHandle");
            EXPECT_EQ(Levels(dtr).back(), inverted) << "left keyed";
            EXPECT_FALSE(keyer.Timer2->Enabled());
        }
    }
}

TEST_F(Presenter, PortBoxChangesReopenAndABusyPortIsSaidWithTheRadiosOn) {
    Choose(false, false);
    view.port = "COM3";
    presenter.PortTextEdited();
    // Picking the item that is the text changes nothing, nor does the text
    // the program set.
    presenter.PortItemPicked();
    presenter.SetPortText("COM1");
    presenter.PortItemPicked();
    EXPECT_EQ(platform.OpenedNames, Strings{"COM3"});
    view.port = "COM2";
    presenter.PortItemPicked();
    EXPECT_EQ(platform.OpenedNames, (Strings{"COM3", "COM2"}));
    // No text: closed, the choices off, the number kept.
    view.port.clear();
    presenter.PortTextEdited();
    EXPECT_FALSE(com.Active());
    EXPECT_EQ(com.PortNum(), 2);
    EXPECT_FALSE(RadiosEnabled());
    EXPECT_TRUE(view.boxes.empty());

    platform.FailWith["CreateFile"] = 16;
    view.port = "COM";  // another text keeps the number
    presenter.PortTextEdited();
    EXPECT_TRUE(RadiosEnabled());
    EXPECT_FALSE(com.Active());
    // Opened, but the line refuses: the same, the port open.
    platform.FailWith = {{"CLRRTS", 5}};
    presenter.ComboBox1Change();
    EXPECT_TRUE(com.Active());
    EXPECT_EQ(view.boxes, Strings(2, "Zivsound: Prievadas užimtas"));
}

TEST_F(Presenter, ALineOrPolarityClickSetsTheIdleLevelButNotInTheKeyUpDelay) {
    Choose(false, false);
    view.port = "COM1";
    presenter.PortTextEdited();
    platform.Calls.clear();
    presenter.RadioClick(keyer.rbInv);
    EXPECT_TRUE(keyer.rbInv.Checked());
    EXPECT_EQ(platform.CallsNamed("SetHangUpOnClose").back().arg, 0u);
    EXPECT_EQ(platform.LineCalls(), Strings{"SETRTS"});
    keyer.Timer2->SetEnabled(true);
    presenter.RadioClick(keyer.rbDTR);
    EXPECT_EQ(platform.LineCalls(), Strings{"SETRTS"});
}

TEST_F(Presenter, TheTitleTellsAFailedSendOrTheRecordingAndTheLabelsGoToTheFilesWindow) {
    keyer.BtnPlay1.Click();
    keyer.OnSendResult(false);
    EXPECT_EQ(view.title, "Zivsound — nepavyko groti a.wav");
    TRecordingStatus status;
    status.Recording = true;
    status.Slot = 2;
    presenter.ShowRecordingStatus(status);
    EXPECT_EQ(view.title, "Zivsound — " + RecordingStatusText(status));
    EXPECT_FALSE(view.filesButton);
    status.Recording = false;
    status.Error = "per trumpas";
    presenter.ShowRecordingStatus(status);
    EXPECT_EQ(view.title, "Zivsound — per trumpas");
    EXPECT_TRUE(view.filesButton);
    keyer.OnSendResult(true);
    EXPECT_EQ(view.title, "Zivsound");

    presenter.BitBtn1Click();  // no files window yet
    presenter.SetLabelText(2, "QRZ");
    EXPECT_EQ(presenter.LabelText(1), "1 ĮRAŠAS");
    Strings boxes(3);
    int shown = 0;
    presenter.SetFilesWindow({[&] { ++shown; }, [&](int n) { return boxes[size_t(n - 1)]; },
                              [&](int n, const std::string& t) { boxes[size_t(n - 1)] = t; }});
    EXPECT_EQ(boxes, (Strings{"1 ĮRAŠAS", "QRZ", "3 ĮRAŠAS"}));
    presenter.SetLabelText(3, "73");
    boxes[0] = "CQ";
    EXPECT_EQ(presenter.LabelText(1) + presenter.LabelText(3), "CQ73");
    presenter.BitBtn1Click();
    EXPECT_EQ(shown, 1);

    keyer.BtnPlay1.OnChange = keyer.Panel2.OnSetFocus = [] {};
    presenter.UnbindModels();
    EXPECT_FALSE(keyer.OnSendResult || keyer.BtnPlay1.OnChange || keyer.Panel2.OnSetFocus);
}

class TBoxes : public TDefaultErrorReport {
protected:
    void ShowErrorBox(const std::string& text) override { Shown.push_back(text); }

public:
    Strings Shown;
};

TEST(DefaultErrorReport, ShowsABoxWithAFullStopUnlessQuiet) {
    TBoxes report;
    Guarded(report, [] { throw std::runtime_error("Užimtas"); });
    Guarded(report, [] { throw 1; });
    Guarded(report, [] { throw std::runtime_error("Done!"); });  // '!' sorts before '.'
    EXPECT_EQ(report.Shown, (Strings{"Užimtas.", "Unknown error.", "Done!"}));
    EXPECT_FALSE(report.FailedQuietly());
    report.SetQuiet(true);
    Guarded(report, [] { throw std::runtime_error("Unable to write"); });
    EXPECT_EQ(report.Shown.size(), 3u);
    EXPECT_TRUE(report.FailedQuietly());
}

}  // namespace
}  // namespace ziv::test
