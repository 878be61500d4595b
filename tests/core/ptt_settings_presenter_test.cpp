#include "core/ptt_settings_presenter.h"

#include <gtest/gtest.h>

#include "keyer_fixture.h"
#include "settings/settings_test_support.h"
#include "settings/station_settings.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;

struct TRecordedSwitch final : TPttSwitch {
    std::vector<std::string>& log;
    std::string name;
    TRecordedSwitch(std::vector<std::string>& l, std::string n) : log(l), name(std::move(n)) {}
    ~TRecordedSwitch() override { log.push_back(name + " gone"); }
    bool Switch(bool transmit, std::string*) override {
        log.push_back(name + (transmit ? " key" : " unkey"));
        return true;
    }
};

class PttSettings : public KeyerFixture, public TPttSettingsView {
protected:
    PttSettings() {
        ConfigureStationIni(ini, file);
        WriteBytes(file, "[ZIV SOUND]\nX=1\n");
        station.Load();
    }
    void ShowPtt(int method, const std::string& host, const std::string& port,
                 const std::string& timeout, int stop) override {
        shown = std::to_string(method) + " " + host + ":" + port + " " + timeout + " " +
                std::to_string(stop);
    }
    void ShowPttNote(const std::string& text) override { note = text; }
    std::string File() const { return ReadBytes(file); }

    TempDir dir;
    const std::string file = dir / "ZIVSound.ini";
    TLMDIniCtrl ini;
    std::vector<std::string> log;
    TStationPtt station{ini, keyer, [this](const TPttChoice& c) -> std::unique_ptr<TPttSwitch> {
                            if (c.method == TPttMethod::SerialLine)
                                return nullptr;
                            return std::make_unique<TRecordedSwitch>(
                                log, c.host + ":" + std::to_string(c.port));
                        }};
    TPttSettingsPresenter presenter{*this, station, keyer};
    std::string shown, note;
};

// Shown as read; nothing written until the operator changes something;
// a change unkeys by the old method, goes to the keyer at once and into
// the file; a bad entry is said and the old value shown again.
TEST_F(PttSettings, ChangesApplyAtOnceAreWrittenOnlyThenAndBadEntriesAreRefused) {
    presenter.Show();
    EXPECT_EQ(shown, "0 127.0.0.1:4532 0 0");
    EXPECT_EQ(File(), "[ZIV SOUND]\nX=1\n");
    EXPECT_TRUE(keyer.UsesSerialLine());

    presenter.MethodPicked(1);
    presenter.RigEdited("radio", "4600");
    EXPECT_EQ(log, (Strings{"127.0.0.1:4532 unkey", "127.0.0.1:4532 gone"}));
    presenter.RigEdited("radio", "0");
    EXPECT_EQ(note, TPttSettingsPresenter::BadPortText);
    presenter.TimeoutEdited("90");
    presenter.TimeoutEdited("9000");
    EXPECT_EQ(note, TPttSettingsPresenter::BadTimeoutText);
    presenter.StopPicked(1);
    presenter.Show();
    EXPECT_EQ(shown, "1 radio:4600 90 1");
    EXPECT_TRUE(keyer.CutOnStop());
    EXPECT_EQ(File(),
              "[ZIV SOUND]\nX=1\nPTT Method=CAT\nRigctld Host=radio\nRigctld Port=4600\n"
              "TX Timeout=90\nCut On Stop=1\n");

    // The test keys half a second by the method now chosen.
    presenter.TestClick();
    EXPECT_EQ(note, TPttSettingsPresenter::TestingText);
    ui.Advance(1000);
    EXPECT_EQ(note, TPttSettingsPresenter::TestPassedText);
    EXPECT_EQ(log.back(), "radio:4600 unkey");
    // By the line, with the port not open: said so.
    presenter.MethodPicked(0);
    EXPECT_TRUE(keyer.UsesSerialLine());
    com.AttachHandle(INVALID_HANDLE_VALUE);
    presenter.TestClick();
    EXPECT_EQ(note, std::string(TPttSettingsPresenter::TestFailedText) + "prievadas neatidarytas");
}

}  // namespace
}  // namespace ziv::test
