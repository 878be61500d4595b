// The Qt main window's glue: its widgets are the layout rows, their events
// reach the keyer and the presenter, and what those change reaches the
// widgets. What the window decides is tested once, in the presenter's test.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>

#include "core/message_recorder.h"
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

TEST_F(FormTest, ClicksKeysAndTheTrackBarReleaseReachTheKeyer) {
    WriteSettings("Wave File1=/msgs/cq.wav\n");
    Show();
    // The outer width is the frame's.
    const int frame = form.frameGeometry().width() - form.geometry().width();
    EXPECT_EQ(form.width(), TFormSound::NarrowWidth - frame);
    QTest::mouseClick(form.BtnEW2(), Qt::LeftButton);
    EXPECT_FALSE(form.GroupBox1()->isHidden());
    EXPECT_EQ(form.width(), TFormSound::WideWidth - frame);
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    EXPECT_EQ(player.WaveName(), "/msgs/cq.wav");
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    Key(Qt::Key_F1);  // seen before the focused control
    EXPECT_TRUE(form.BtnPlay(1)->isChecked());

    // Released at 5: the loop runs and the focus goes to the panel.
    TTrackBarWidget* bar = form.TrackBar1();
    const QPoint at5(bar->ThumbRect().center().x(), bar->YForValue(5));
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->ThumbRect().center());
    QTest::mouseMove(bar, at5);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at5);
    EXPECT_EQ(keyer.SavedPause(), 5);
    EXPECT_TRUE(form.BtnTimer()->isHidden());
    EXPECT_FALSE(form.BtnStart()->isEnabled());
    EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget() : form.focusWidget(),
              form.Panel2());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form.BtnStop()->isVisible());
}

TEST_F(FormTest, ThePortBoxAndTheRadiosReachThePresenterAndItsBoxTitleAndFilesButtonTheWindow) {
    WriteSettings("Port=COM3\nDTR=1\nInv=1\n");
    Show();
    EXPECT_EQ(platform.LineCalls(), Strings{"SETDTR"});
    EXPECT_TRUE(form.rbDTR()->isChecked() && form.rbDTR()->isEnabled());
    // A keystroke is a change, and so is an item picked from the list.
    QTest::keyClicks(form.ComboBox1()->lineEdit(), "1");  // "COM31"
    QTest::keyClick(form.ComboBox1(), Qt::Key_Down);
    EXPECT_EQ(platform.OpenedNames, (Strings{"COM3", "COM3", "COM1"}));
    QTest::mouseClick(form.rbRTS(), Qt::LeftButton);
    EXPECT_EQ(platform.LineCalls().back(), "SETRTS");
    platform.FailWith["CreateFile"] = EBUSY;
    QTest::keyClick(form.ComboBox1()->lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(boxes.Shown, Strings{"Zivsound: Prievadas užimtas"});

    TRecordingStatus recording;
    recording.Recording = true;
    form.ShowRecordingStatus(recording);
    EXPECT_TRUE(form.windowTitle().startsWith(QString::fromUtf8("Zivsound — ● Įrašoma")));
    EXPECT_FALSE(form.BitBtn1()->isEnabled());
}

TEST_F(FormTest, AnUncaughtErrorGoesToTheDefaultReport) {
    WriteSettings("Port=COM1\nRTS=1\nWave File1=/msgs/cq.wav\n");
    Show();
    platform.Texts[EIO] = "Input/output error";
    platform.FailWith["SETRTS"] = EIO;
    QTest::mouseClick(form.BtnPlay(1), Qt::LeftButton);
    QTest::mouseClick(form.BtnStart(), Qt::LeftButton);
    EXPECT_EQ(boxes.Shown, Strings{"!Zivsound: Error calling comm function (" +
                                   std::to_string(EIO) + "), Input/output error."});
}

}  // namespace
}  // namespace ziv::test
