// Pictures of the main window for the documentation: narrow and wide.
// Run under Xvfb: xvfb-run -a main_window_screenshot DIR
#include <QApplication>
#include <QDir>
#include <QTest>
#include <iostream>

#include "ui/form_rig.h"

int main(int argc, char** argv) {
    using namespace ziv;
    using namespace ziv::test;
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: main_window_screenshot DIR\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    TFormRig rig;
    rig.WriteSettings(
        "Port=COM1\nRTS=1\nNorm=1\nWave File1=/msgs/cq.wav\n"
        "Label1=CQ TEST\nLabel2=QRZ?\nLabel3=73\n");
    TFormSound& form = rig.form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    rig.keyer.BtnPlay1.Click();
    rig.keyer.TrackBar1.SetPosition(10);
    QTest::qWait(100);
    bool ok = form.grab().save(out.filePath("main-narrow.png"));
    form.BtnEW2Click();
    QTest::qWait(100);
    ok = form.grab().save(out.filePath("main-wide.png")) && ok;
    return ok ? 0 : 1;
}
