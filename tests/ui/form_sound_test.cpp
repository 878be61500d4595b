#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "serial/comm.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui/error_report.h"
#include "ui/form_port.h"
#include "ui/form_sound.h"
#include "ui/qt_timer.h"
#include "ui/test_doubles.h"
#include "ui/ui_gate.h"
#include "ui/widgets.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;

// The main window over the real keyer, the real port component on the fake
// serial platform, a settings file in a temporary directory, and boxes
// that answer at once.
class FormTest : public ::testing::Test {
protected:
    FormTest() {
        ini.SetProgramPath(dir.filePath("ZIVSound").toStdString());
        ConfigureStationIni(ini);
        COM.SetDTREnable(false);
        COM.SetRTSEnable(false);
    }
    ~FormTest() override { form.hide(); }

    std::string SettingsPath() const { return dir.filePath("ZIVSound.ini").toStdString(); }
    void WriteSettings(const std::string& entries) {
        std::ofstream(SettingsPath()) << "[ZIV SOUND]\n" << entries;
    }
    std::string ReadSettings() const {
        std::ifstream in(SettingsPath());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Show() {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    // A key as the window system delivers it: to the window, then the
    // focused control.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(form.windowHandle(), key, modifiers);
    }
    Strings Opened() const { return platform.OpenedNames; }

    QTemporaryDir dir;
    TLMDIniCtrl ini;
    TFakeCommPlatform platform;
    TDroppingInvoker invoker;
    TRecordingErrorReport commReport;
    TVaComm COM{platform, invoker, commReport};
    TCommPort<TVaComm> port{COM};
    TSlowSoundService sound{0};
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

TEST_F(FormTest, LayoutTextsHintsAndFocusAreAsDefined) {
    struct Row {
        QWidget* widget;
        QWidget* parent;
        QRect geometry;
        QString text;
        QString hint;
    };
    const Row rows[] = {
        {form.BtnPlay(1), &form, {58, 8, 81, 25}, "1 ĮRAŠAS", "F1"},
        {form.BtnPlay(3), &form, {58, 56, 81, 25}, "3 ĮRAŠAS", "F3"},
        {form.BtnStart(), &form, {99, 84, 40, 25}, "", " Skaityti įrašą \nCtrl+<ENTER>"},
        {form.BtnTimer(), &form, {58, 84, 40, 25}, "", "Paleisti taimerĮ\n       <F4>"},
        {form.BtnStop(), &form, {58, 84, 40, 25}, "", " Sustabdyti taimerį\n     <ESCAPE>"},
        {form.BtnEW2(), &form, {144, 11, 12, 13}, "", "Nustatymai"},
        {form.Panel2(), &form, {8, 9, 44, 102}, "", ""},
        {form.TrackBar1(), form.Panel2(), {16, 1, 26, 97}, "", "Pauzės trukmė"},
        {form.Label(3), form.Panel2(), {3, 3, 12, 14}, "20", ""},
        {form.Label(1), form.Panel2(), {9, 83, 6, 14}, "0", ""},
        {form.BitBtn1(), &form, {218, 13, 58, 25}, "Failai", ""},
        {form.GroupBox1(), &form, {143, 38, 134, 73}, "", ""},
        {form.Label4(), form.GroupBox1(), {8, 16, 47, 13}, "Prievadas", ""},
        {form.ComboBox1(), form.GroupBox1(), {64, 12, 57, 21}, "COM3", ""},
        {form.rbInv(), form.GroupBox1(), {57, 52, 74, 17}, "Invertuotas", ""},
        {form.Panel1(), form.GroupBox1(), {2, 32, 55, 39}, "", ""},
        {form.rbDTR(), form.Panel1(), {6, 20, 58, 17}, "DTR", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.widget->objectName().toStdString());
        EXPECT_EQ(row.widget->parentWidget(), row.parent);
        EXPECT_EQ(row.widget->geometry(), row.geometry);
        EXPECT_EQ(row.widget->toolTip(), row.hint);
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(row.widget))
            text = b->text();
        if (auto* l = qobject_cast<QLabel*>(row.widget))
            text = l->text();
        if (auto* c = qobject_cast<QComboBox*>(row.widget))
            text = c->currentText();
        EXPECT_EQ(text, row.text);
    }

    // As laid out: 285 x 117, on top, minimise but no maximise box, the
    // settings panel and the stop button hidden, RTS and Normal checked.
    EXPECT_EQ(form.size(), QSize(285, 117));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.GroupBox1()->isHidden());
    EXPECT_TRUE(form.BtnStop()->isHidden());
    EXPECT_TRUE(form.rbRTS()->isChecked() && form.rbNorm()->isChecked());
    EXPECT_FALSE(form.rbDTR()->isChecked() || form.rbInv()->isChecked());
    EXPECT_TRUE(form.testAttribute(Qt::WA_AlwaysShowToolTips));
    EXPECT_TRUE(form.BtnStart()->icon().availableSizes().contains(QSize(16, 16)));
    EXPECT_EQ(form.ComboBox1()->count(), 5);
    EXPECT_EQ(form.ComboBox1()->itemText(0), "");
    EXPECT_EQ(form.ComboBox1()->itemText(4), "COM4");

    // The toggle buttons and BtnEW2 take no focus; the rest follow the
    // window's focus order.
    for (QWidget* w :
         {static_cast<QWidget*>(form.BtnPlay(1)), static_cast<QWidget*>(form.BtnStart()),
          static_cast<QWidget*>(form.BtnEW2())})
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

TEST_F(FormTest, FirstShowLoadsTheDefaultsNarrowWithNoPortAndNoMessage) {
    Show();
    EXPECT_TRUE(form.SettingsLoaded());
    EXPECT_EQ(form.pos(), QPoint(100, 100));
    EXPECT_EQ(form.OuterWidth(), TFormSound::NarrowWidth);
    const int frame = form.frameGeometry().width() - form.geometry().width();
    EXPECT_EQ(form.width(), TFormSound::NarrowWidth - frame);
    EXPECT_EQ(form.height(), 117);
    EXPECT_TRUE(form.GroupBox1()->isHidden());
    EXPECT_EQ(form.ComboBox1()->currentText(), "0");
    EXPECT_EQ(COM.PortNum(), 0);
    EXPECT_TRUE(Opened().empty());
    EXPECT_TRUE(boxes.Shown.empty());
    for (auto* rb : {form.rbRTS(), form.rbDTR(), form.rbNorm(), form.rbInv()})
        EXPECT_FALSE(rb->isEnabled());
    EXPECT_FALSE(form.rbRTS()->isChecked());
    EXPECT_TRUE(form.rbNorm()->isChecked());
    EXPECT_EQ(form.BtnPlay(2)->text(), "2 ĮRAŠAS");

    // Wide and back.
    QTest::mouseClick(form.BtnEW2(), Qt::LeftButton);
    EXPECT_FALSE(form.GroupBox1()->isHidden());
    EXPECT_EQ(form.width(), TFormSound::WideWidth - frame);
    QTest::mouseClick(form.BtnEW2(), Qt::LeftButton);
    EXPECT_TRUE(form.GroupBox1()->isHidden());
    EXPECT_EQ(form.width(), TFormSound::NarrowWidth - frame);
}

TEST_F(FormTest, ClicksKeysAndTheTrackBarReleaseReachTheKeyer) {
    WriteSettings("Wave File1=/msgs/cq.wav\n");
    Show();

    // A click presses the button through the model; a second raises it.
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    EXPECT_TRUE(keyer.BtnPlay1.Down());
    EXPECT_TRUE(form.BtnPlay(1)->isChecked());
    EXPECT_EQ(player.WaveName(), "/msgs/cq.wav");
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    EXPECT_FALSE(form.BtnPlay(1)->isChecked());

    // An empty slot refuses: the button stays up, with one beep.
    QTest::mouseClick(form.BtnPlay(2), Qt::LeftButton);
    EXPECT_FALSE(form.BtnPlay(2)->isChecked());
    EXPECT_EQ(beep.Count(), 1);

    // F1 presses button 1 from the keyboard; F4 with no pause refuses.
    Key(Qt::Key_F1);
    EXPECT_TRUE(form.BtnPlay(1)->isChecked());
    Key(Qt::Key_F4);
    EXPECT_EQ(beep.Count(), 2);
    EXPECT_FALSE(keyer.LoopFlag());

    // Dragging the track bar to 5 and letting go starts the loop with a
    // pause of 5 and moves the focus to the panel.
    TTrackBarWidget* bar = form.TrackBar1();
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->ThumbRect().center());
    QTest::mouseMove(bar, QPoint(bar->ThumbRect().center().x(), bar->YForValue(5)));
    QTest::mouseRelease(bar, Qt::LeftButton, {},
                        QPoint(bar->ThumbRect().center().x(), bar->YForValue(5)));
    EXPECT_EQ(keyer.TrackBar1.Position(), 5);
    EXPECT_EQ(keyer.SavedPause(), 5);
    EXPECT_TRUE(keyer.LoopFlag());
    EXPECT_TRUE(form.BtnTimer()->isHidden());
    EXPECT_FALSE(form.BtnStop()->isHidden());
    EXPECT_FALSE(form.BtnStart()->isEnabled());
    EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget() : form.focusWidget(),
              form.Panel2());

    // Escape stops the loop; the key still reaches the focused control.
    Key(Qt::Key_Escape);
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_FALSE(form.BtnTimer()->isHidden());
    EXPECT_TRUE(form.BtnStop()->isHidden());
    EXPECT_EQ(sound.Stops, 1);

    // Ctrl+Enter sends once: BtnStart shows pressed until the play ends.
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(form.BtnStart()->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.BtnStart()->isChecked(); }, 2000));
    EXPECT_EQ(sound.Sounds, Strings{"/msgs/cq.wav"});
}

TEST_F(FormTest, PortChangesReopenThePortWithTheIdleLevel) {
    WriteSettings("Port=COM3\nDTR=1\nInv=1\n");
    Show();
    EXPECT_EQ(COM.PortNum(), 3);
    EXPECT_TRUE(COM.Active());
    EXPECT_EQ(Opened(), Strings{"COM3"});
    // Inverted DTR idles set; RTS is never touched.
    EXPECT_EQ(platform.LineCalls(), Strings{"SETDTR"});
    EXPECT_TRUE(form.rbDTR()->isEnabled());

    // Typing "COM1" over the text: every keystroke closes and reopens,
    // with the last name that matched.
    QLineEdit* edit = form.ComboBox1()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "COM1");
    EXPECT_EQ(Opened(), (Strings{"COM3", "COM3", "COM3", "COM3", "COM1"}));
    EXPECT_EQ(COM.PortNum(), 1);
    EXPECT_TRUE(boxes.Shown.empty());

    // Picking an item from the list is a change too; the text set at load
    // was not.
    const size_t opens = Opened().size();
    QTest::keyClick(form.ComboBox1(), Qt::Key_Down);
    QTest::keyClick(form.ComboBox1(), Qt::Key_Down);
    const QString picked = form.ComboBox1()->currentText();
    ASSERT_TRUE(picked.startsWith("COM") && picked != "COM1") << picked.toStdString();
    EXPECT_EQ(Opened().size(), opens + 1);
    EXPECT_EQ(Opened().back(), picked.toStdString());

    // Deleting the text closes the port and disables the line choices; the
    // number stays.
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_FALSE(COM.Active());
    EXPECT_EQ(COM.PortNum(), picked.mid(3).toInt());
    for (auto* rb : {form.rbRTS(), form.rbDTR(), form.rbNorm(), form.rbInv()})
        EXPECT_FALSE(rb->isEnabled());
    EXPECT_TRUE(form.rbDTR()->isChecked());  // disabled buttons keep their state
}

TEST_F(FormTest, AFailedOpenOrIdleLevelShowsPortBusyAndTheWindowGoesOn) {
    WriteSettings("Port=COM2\nRTS=1\n");
    platform.FailWith["CreateFile"] = EBUSY;
    Show();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_FALSE(boxes.Shown[0].error);
    EXPECT_EQ(boxes.Shown[0].caption, "Zivsound");
    EXPECT_EQ(boxes.Shown[0].text, "Prievadas užimtas");
    EXPECT_FALSE(COM.Active());
    EXPECT_TRUE(form.rbRTS()->isEnabled());

    // The device opens but the line refuses: the same message, port open.
    platform.FailWith.erase("CreateFile");
    platform.FailWith["CLRRTS"] = EIO;
    QTest::keyClick(form.ComboBox1()->lineEdit(), Qt::Key_Backspace);  // "COM"
    ASSERT_EQ(boxes.Shown.size(), 2u);
    EXPECT_EQ(boxes.Shown[1].text, "Prievadas užimtas");
    EXPECT_TRUE(COM.Active());
}

TEST_F(FormTest, UncaughtErrorsGoToTheDefaultReportWithAFullStop) {
    WriteSettings("Port=COM1\nRTS=1\nWave File1=/msgs/cq.wav\n");
    Show();
    ASSERT_TRUE(boxes.Shown.empty());
    platform.Texts[EIO] = "Input/output error";
    platform.FailWith["SETRTS"] = EIO;
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    QTest::mouseClick(form.BtnStart(), Qt::LeftButton);
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_TRUE(boxes.Shown[0].error);
    EXPECT_EQ(boxes.Shown[0].caption, "Zivsound");
    EXPECT_EQ(boxes.Shown[0].text,
              QStringLiteral("Error calling comm function (%1), Input/output error.").arg(EIO));
    // The failed keying armed no delay.
    EXPECT_FALSE(keyer.Timer2->Enabled());

    EXPECT_EQ(WithFullStop("Done."), "Done.");
    EXPECT_EQ(WithFullStop("Done!"), "Done!");  // '!' sorts before '.'
    EXPECT_EQ(WithFullStop("Užimtas"), "Užimtas.");
    EXPECT_EQ(WithFullStop(""), "");
}

TEST_F(FormTest, CloseClosesThePortAndSavesOnlySettingsLoadedInThisRun) {
    // Never shown: closing writes nothing over the stored settings.
    WriteSettings("Port=COM4\nX=-1200\n");
    form.close();
    EXPECT_EQ(ReadSettings(), "[ZIV SOUND]\nPort=COM4\nX=-1200\n");
}

TEST_F(FormTest, CloseAfterShowClosesThePortThenSavesTheHomes) {
    WriteSettings("Port=COM4\nX=300\nY=200\nLabel2=Labas\n");
    Show();
    messageSlots.SetPath(2, "/msgs/QRZ.wav");
    // An on-screen position is kept; the platform may shift the frame by
    // its border width.
    const QPoint shown = form.pos();
    EXPECT_LE(std::abs(shown.x() - 300) + std::abs(shown.y() - 200), 4);
    ASSERT_TRUE(COM.Active());
    form.close();
    EXPECT_FALSE(COM.Active());
    const std::string saved = ReadSettings();
    EXPECT_NE(saved.find("X=" + std::to_string(shown.x()) + "\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Port=COM4\n"), std::string::npos);
    EXPECT_NE(saved.find("Label2=Labas\n"), std::string::npos);
    EXPECT_NE(saved.find("Y=" + std::to_string(shown.y()) + "\n"), std::string::npos);
    EXPECT_NE(saved.find("Wave File2=/msgs/QRZ.wav\n"), std::string::npos);
    EXPECT_NE(saved.find("Norm=1\n"), std::string::npos);
    EXPECT_EQ(form.BtnPlay(2)->text(), "Labas");
}

}  // namespace
}  // namespace ziv::test
