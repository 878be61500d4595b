#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "layout/main_window_layout.h"
#include "ui/form_rig.h"
#include "ui/widgets.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;

class FormTest : public ::testing::Test, protected TFormRig {
protected:
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
};

QString ShownText(const QWidget* widget) {
    if (auto* b = qobject_cast<const QAbstractButton*>(widget))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(widget))
        return l->text();
    if (auto* c = qobject_cast<const QComboBox*>(widget))
        return c->currentText();
    if (auto* g = qobject_cast<const QGroupBox*>(widget))
        return g->title();
    return {};
}

TEST_F(FormTest, TheWidgetsAreTheLayoutRowsInAnOnTopWindowWithItsFocusOrder) {
    for (const TControlLayout& row : kMainWindowLayout) {
        SCOPED_TRACE(row.name);
        const auto* widget = form.findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), *row.parent ? row.parent : "FormSound");
        const TLayoutRect& r = row.rect;
        EXPECT_EQ(widget->geometry(), QRect(r.left, r.top, r.width, r.height));
        EXPECT_EQ(ShownText(widget), QString::fromUtf8(row.text));
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(row.hint));
    }
    EXPECT_EQ(form.ComboBox1()->count(), 5);
    EXPECT_EQ(form.ComboBox1()->itemText(0), "");
    EXPECT_EQ(form.ComboBox1()->itemText(4), "COM4");

    // 285 x 117, on top, minimise but no maximise box.
    EXPECT_EQ(form.size(), QSize(285, 117));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.testAttribute(Qt::WA_AlwaysShowToolTips));

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

TEST(PickablePortNumber, OnlyTheWholeNamesCom1ToCom4HaveOne) {
    const std::pair<const char*, std::optional<int>> cases[] = {{"COM1", 1},
                                                                {"COM4", 4},
                                                                {"COM5", std::nullopt},
                                                                {"COM0", std::nullopt},
                                                                {"com1", std::nullopt},
                                                                {"COM1 ", std::nullopt},
                                                                {"COM", std::nullopt},
                                                                {"", std::nullopt},
                                                                {"COM10", std::nullopt}};
    for (const auto& [name, number] : cases)
        EXPECT_EQ(PickablePortNumber(name), number) << '"' << name << '"';
}

TEST_F(FormTest, FirstShowLoadsTheDefaultsNarrowWithNoPortAndNoMessage) {
    Show();
    EXPECT_TRUE(form.SettingsLoaded());
    EXPECT_EQ(form.OuterWidth(), TFormSound::NarrowWidth);
    const int frame = form.frameGeometry().width() - form.geometry().width();
    EXPECT_EQ(form.width(), TFormSound::NarrowWidth - frame);
    EXPECT_EQ(form.height(), 117);
    EXPECT_TRUE(form.GroupBox1()->isHidden());
    EXPECT_EQ(COM.PortNum(), 0);
    EXPECT_TRUE(Opened().empty());
    EXPECT_TRUE(boxes.Shown.empty());
    for (auto* rb : {form.rbRTS(), form.rbDTR(), form.rbNorm(), form.rbInv()})
        EXPECT_FALSE(rb->isEnabled());

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

    // F1 presses button 1 from the keyboard.
    Key(Qt::Key_F1);
    EXPECT_TRUE(form.BtnPlay(1)->isChecked());

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
