// Shows the message files window with a few messages assigned and saves
// a picture of it: files_window_screenshot OUT.png [DIRECTORY]
// Run under Xvfb (xvfb-run) for the fonts a desktop uses.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTest>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "ui/files/form_failai.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    if (argc > 2)
        QDir::setCurrent(QString::fromLocal8Bit(argv[2]));

    using namespace ziv;
    test::TVirtualUiThread ui;
    test::TFakeCommPlatform platform;
    test::TTestComm com{platform};
    test::TFakeSoundService sound{ui};
    TSRWavePlayer player{sound};
    test::TCountingBeep beep;
    TMessageSlots messageSlots;
    TKeyer keyer{com, player, ui, beep, messageSlots};
    keyer.BtnPlay1.SetCaption("CQ TEST");
    keyer.BtnPlay2.SetCaption("2 ĮRAŠAS");
    keyer.BtnPlay3.SetCaption("QRZ?");
    const QByteArray dir = QFile::encodeName(QDir::currentPath());
    messageSlots.SetPath(1, dir.toStdString() + "/cq_test.wav");
    messageSlots.SetPath(3, dir.toStdString() + "/qrz.wav");

    TFormFailai form(messageSlots, keyer, [] {});
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    // As after the operator's first click: the browser linked, a file chosen.
    form.FileListBox1Click();
    if (form.FileListBox1()->count() > 0)
        form.FileListBox1()->setCurrentRow(0);
    QTest::qWait(200);
    return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
