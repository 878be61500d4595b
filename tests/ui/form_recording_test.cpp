#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <optional>

#include "core/message_recorder.h"
#include "core/station_recording_home.h"
#include "mock/fake_sound_capture.h"
#include "ui/form_rig.h"

namespace ziv::test {
namespace {

// The main window with a real recorder, as the program wires them, over
// the fake sound input; recordings go beside the rig's settings file.
class FormRecordingTest : public ::testing::Test, protected TFormRig {
protected:
    FormRecordingTest() {
        recorder.emplace(keyer, capture, timers, beep, home);
        recorder->OnStatus = [this](const TRecordingStatus& s) { form.ShowRecordingStatus(s); };
    }
    void Show() {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(form.windowHandle(), key, modifiers);
    }
    void RecordKey(Qt::Key key) { Key(key, Qt::ControlModifier | Qt::ShiftModifier); }
    QString Title() const { return form.windowTitle(); }
    QString StatusTitle() const {
        return QStringLiteral("Zivsound — ") +
               QString::fromStdString(RecordingStatusText(recorder->Status()));
    }

    TFakeSoundCapture capture;
    TStationRecordingHome home{ini, form};
    // Goes before the window and the keyer, as in the program.
    std::optional<TMessageRecorder> recorder;
};

TEST_F(FormRecordingTest, CtrlShiftF1RecordsIntoTheSlotWithCaptionAndTitleAndSendsAreRefused) {
    WriteSettings("Wave File1=/msgs/cq.wav\nLabel1=CQ TEST\n");
    Show();
    ASSERT_EQ(form.BtnPlay(1)->text(), "CQ TEST");
    // A failed send's note in the title gives way to the recording.
    keyer.OnSendResult(false);
    ASSERT_TRUE(Title().contains("nepavyko groti"));

    RecordKey(Qt::Key_F1);
    ASSERT_TRUE(capture.Running);
    EXPECT_EQ(capture.Starts, 1);
    EXPECT_EQ(form.BtnPlay(1)->text(), QString::fromUtf8("● 0:00"));
    EXPECT_TRUE(form.BtnPlay(1)->isChecked());
    EXPECT_EQ(Title(), StatusTitle());
    EXPECT_TRUE(Title().contains(QString::fromUtf8("Įrašoma 1")));
    EXPECT_FALSE(form.BitBtn1()->isEnabled()) << "the files window would take the caption";

    // Nothing is keyed while the microphone is open.
    const int beeps = beep.Count();
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(beep.Count(), beeps + 1);
    EXPECT_FALSE(form.BtnStart()->isChecked());
    EXPECT_FALSE(keyer.Timer2->Enabled());
    EXPECT_TRUE(sound.Sounds.empty());

    // The polls run on the window's timers: the level reaches the title.
    capture.Feed(600, 12000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.Pending.empty(); }, 2000));
    EXPECT_EQ(Title(), StatusTitle());

    // The same keys again keep it: the label comes back, the slot names the
    // new file beside the settings and the settings are saved with it.
    RecordKey(Qt::Key_F1);
    EXPECT_FALSE(capture.Running);
    EXPECT_EQ(form.BtnPlay(1)->text(), "CQ TEST");
    EXPECT_EQ(Title(), "Zivsound");
    EXPECT_TRUE(form.BitBtn1()->isEnabled());
    const std::string recorded = dir.filePath("message1.wav").toStdString();
    EXPECT_EQ(messageSlots.Path(1), recorded);
    EXPECT_TRUE(QFile::exists(dir.filePath("message1.wav")));
    EXPECT_NE(ReadSettings().find("Wave File1=" + recorded + "\n"), std::string::npos)
        << ReadSettings();
    EXPECT_NE(ReadSettings().find("Label1=CQ TEST\n"), std::string::npos);
    EXPECT_EQ(beep.Count(), beeps + 1);
}

TEST_F(FormRecordingTest, EscapeFailuresAndACloseWhileRecordingKeepTheOldMessage) {
    WriteSettings("Wave File2=/msgs/qrz.wav\nLabel2=QRZ\n");
    Show();

    // Escape ends a recording with nothing in it: the old message stays and
    // the title says why.
    RecordKey(Qt::Key_F2);
    ASSERT_TRUE(capture.Running);
    const int beeps = beep.Count();
    Key(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(capture.Running);
    EXPECT_EQ(form.BtnPlay(2)->text(), "QRZ");
    EXPECT_EQ(messageSlots.Path(2), "/msgs/qrz.wav");
    EXPECT_EQ(beep.Count(), beeps + 1);
    EXPECT_FALSE(recorder->Status().Error.empty());
    EXPECT_EQ(Title(), StatusTitle());

    // An input that will not start: the reason shows, the caption never changed.
    capture.StartError = "no sound input";
    RecordKey(Qt::Key_F2);
    EXPECT_FALSE(capture.Running);
    EXPECT_EQ(form.BtnPlay(2)->text(), "QRZ");
    EXPECT_TRUE(Title().startsWith(QStringLiteral("Zivsound — "))) << Title().toStdString();
    EXPECT_TRUE(Title().endsWith(QStringLiteral("no sound input"))) << Title().toStdString();
    EXPECT_TRUE(form.BitBtn1()->isEnabled());

    // A send that goes out clears it.
    keyer.OnSendResult(true);
    EXPECT_EQ(Title(), "Zivsound");

    // A close while recording: the settings are saved without the recording,
    // and the recorder, which goes first, drops it with the window still there.
    capture.StartError.clear();
    RecordKey(Qt::Key_F2);
    ASSERT_TRUE(capture.Running);
    capture.Feed(600, 12000);
    form.close();
    recorder.reset();
    EXPECT_FALSE(capture.Running);
    EXPECT_EQ(form.BtnPlay(2)->text(), "QRZ");
    EXPECT_EQ(messageSlots.Path(2), "/msgs/qrz.wav");
    EXPECT_FALSE(QFile::exists(dir.filePath("message2.wav")));
    EXPECT_NE(ReadSettings().find("Wave File2=/msgs/qrz.wav\n"), std::string::npos);
    EXPECT_NE(ReadSettings().find("Label2=QRZ\n"), std::string::npos);
}

}  // namespace
}  // namespace ziv::test
