// The Qt main window's glue that no other test reaches: its widgets are the
// layout rows, a port picked from the list, a click whose error goes to the
// default report, and what the keyer and the presenter change reaches the
// widgets. Keys, the track bar, the widen button, a typed port, the radios
// and the busy-port box are driven on the real program by
// tests/e2e/test_operation.py; what the window decides is tested in the
// presenter's test.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fstream>

#include "audio/wave_player.h"
#include "core/form_port.h"
#include "core/message_recorder.h"
#include "layout/main_window_layout.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "settings/station_settings.h"
#include "ui/control_builder.h"
#include "ui/error_report.h"
#include "ui/form_settings.h"
#include "ui/form_sound.h"
#include "ui/qt_timer.h"
#include "ui/ui_gate.h"
#include "ui/widgets.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;

// Answers every box at once and keeps "caption: text", an error's after "!".
struct TRecordingBoxes : TMessageBoxes {
    void ShowMessage(const QString& caption, const QString& text) override {
        Shown.push_back((caption + ": " + text).toStdString());
    }
    void ShowError(const QString& caption, const QString& text) override {
        ShowMessage("!" + caption, text);
    }
    Strings Shown;
};

struct TSilentSound : TSoundService {
    bool PlaySound(const std::string&, std::uint32_t) override { return true; }
    void StopSound() override {}
};

// The main window over the real keyer, the real port component on the fake
// serial platform and a settings file in a temporary directory.
class FormTest : public ::testing::Test {
protected:
    FormTest() {
        ini.SetProgramPath(dir.filePath("ZIVSound").toStdString());
        ConfigureStationIni(ini);
    }
    ~FormTest() override { form.hide(); }
    void ShowWith(const std::string& settings) {
        std::ofstream(dir.filePath("ZIVSound.ini").toStdString()) << "[ZIV SOUND]\n" << settings;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    QTemporaryDir dir;
    TLMDIniCtrl ini;
    TFakeCommPlatform platform;
    TTestComm COM{platform};
    TCommPort<TVaComm> port{COM};
    TSilentSound sound;
    TSRWavePlayer player{sound};
    TRecordingBoxes boxes;
    TBoxErrorReport errors{boxes, "Zivsound"};
    TUiGate gate;
    TQtTimerFactory timers{&gate, &errors};
    TCountingBeep beep;
    TMessageSlots messageSlots;
    TKeyer keyer{COM, player, timers, beep, messageSlots};
    TFormSound form{keyer, port, ini, messageSlots, boxes, errors, &gate, "Zivsound"};
};
TEST_F(FormTest, TheWidgetsAreTheLayoutRowsInAnOnTopWindowWithItsFocusOrder) {
    for (const TControlLayout& row : kMainWindowLayout) {
        SCOPED_TRACE(row.name);
        const auto* widget = form.findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), *row.parent ? row.parent : "FormSound");
        const TLayoutRect& r = row.rect;
        EXPECT_EQ(widget->geometry(), QRect(r.left, r.top, r.width, r.height));
        const bool titled = qobject_cast<const QGroupBox*>(widget);
        const char* shows = titled                          ? "title"
                            : widget->inherits("QComboBox") ? "currentText"
                                                            : "text";
        EXPECT_EQ(widget->property(shows).toString(), QString::fromUtf8(row.text));
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(row.hint));
    }
    EXPECT_EQ(form.ComboBox1()->count(), 5);
    EXPECT_EQ(form.ComboBox1()->itemText(4), "COM4");
    EXPECT_EQ(form.size(), QSize(285, 117));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.testAttribute(Qt::WA_AlwaysShowToolTips));
    // The toggle buttons and BtnEW2 take no focus; the rest follow the
    // window's focus order.
    for (QWidget* w :
         std::initializer_list<QWidget*>{form.BtnPlay(1), form.BtnStart(), form.BtnEW2()})
        EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
    const std::vector<QWidget*> order = {form.BitBtn1(),   form.rbInv(),    form.rbNorm(),
                                         form.ComboBox1(), form.rbRTS(),    form.rbDTR(),
                                         form.TrackBar1(), form.BtnTimer(), form.BtnStop()};
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || next->focusProxy() == order[i])
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << order[i]->objectName().toStdString();
    }
}

TEST_F(FormTest, APickedPortAClicksErrorAndWhatTheKeyerAndPresenterChangeMeetTheWidgets) {
    ShowWith("Port=COM3\nRTS=1\nWave File1=/msgs/cq.wav\n");
    QTest::keyClick(form.ComboBox1(), Qt::Key_Down);  // an item picked from the list
    EXPECT_EQ(platform.OpenedNames, (Strings{"COM3", "COM1"}));
    keyer.Panel2.SetFocus();
    EXPECT_EQ(form.focusWidget(), form.Panel2());

    platform.Texts[EIO] = "Input/output error";
    platform.FailWith["SETRTS"] = EIO;
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    EXPECT_TRUE(keyer.BtnPlay1.Down());
    QTest::mouseClick(form.BtnStart(), Qt::LeftButton);
    EXPECT_EQ(boxes.Shown, Strings{"!Zivsound: Error calling comm function (" +
                                   std::to_string(EIO) + "), Input/output error."});
    TRecordingStatus recording;
    recording.Recording = true;
    form.ShowRecordingStatus(recording);
    EXPECT_FALSE(form.BitBtn1()->isEnabled());
}

// The settings window's keying rows: a pick, an edit left and the test
// reach the station's keying, and its answer reaches the note.
TEST_F(FormTest, TheKeyingRowsReachTheStationAndTheTestIsAnswered) {
    struct TConfirming final : TPttSwitch {
        bool Switch(bool, std::string*) override { return true; }
    };
    ShowWith("");
    TStationPtt station(ini, keyer, [](const TPttChoice& c) -> std::unique_ptr<TPttSwitch> {
        return c.method == TPttMethod::SerialLine ? nullptr : std::make_unique<TConfirming>();
    });
    station.Load();
    struct TNoDevices : TSoundDevices {
        std::vector<TSoundDevice> Outputs() override { return {}; }
        std::vector<TSoundDevice> Inputs() override { return {}; }
        void Watch(std::function<void()>) override {}
    } devices;
    const auto none = [] { return std::string(); };
    const auto ignore = [](const std::string&) {};
    TFormSettings settings(devices, {none, ignore, none, ignore, [] {}}, &station, &keyer);
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    auto* timeout = BuiltControl<QLineEdit>(&settings, "edTimeout");
    EXPECT_EQ(timeout->text(), "0");
    BuiltControl<QComboBox>(&settings, "cbPtt")->activated(2);
    EXPECT_EQ(station.Choice().method, TPttMethod::None);
    timeout->setText("30");
    timeout->setModified(true);
    Q_EMIT timeout->editingFinished();
    EXPECT_EQ(station.Timeout(), 30);
    BuiltControl<QPushButton>(&settings, "BtnTestPtt")->click();
    auto* note = BuiltControl<QLabel>(&settings, "lbPttNote");
    EXPECT_TRUE(QTest::qWaitFor([&] { return note->text() == "PTT veikia"; }, 5000));
}

}  // namespace
}  // namespace ziv::test
