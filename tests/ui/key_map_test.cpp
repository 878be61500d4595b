#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "ui/error_report.h"
#include "ui/key_map.h"
#include "ui/signal_watch.h"

namespace ziv {
namespace {

TEST(KeyMap, QtKeysMapToTheKeyerCodesAndModifiersToTheShiftSet) {
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F1), 112);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F4), 115);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F12), 123);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Escape), 27);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Return), 13);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Enter), 13);  // the keypad's Enter too
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_A), 'A');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_5), '5');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Down), 40);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_unknown), 0);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Agrave), 0);  // no code of its own here

    EXPECT_EQ(ShiftStateFromQt(Qt::NoModifier), 0u);
    EXPECT_EQ(ShiftStateFromQt(Qt::ControlModifier), TShiftState(ssCtrl));
    EXPECT_EQ(ShiftStateFromQt(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier),
              TShiftState(ssCtrl | ssShift));
    EXPECT_EQ(ShiftStateFromQt(Qt::AltModifier), TShiftState(ssAlt));
}

TEST(ApplicationTitle, IsTheFileNameCutAtItsFirstDotWithTheRestLowerCase) {
    EXPECT_EQ(ApplicationTitleFromPath("/opt/ziv/ZIVSound"), "Zivsound");
    EXPECT_EQ(ApplicationTitleFromPath("/opt/ziv.d/ZIVSound.bin.old"), "Zivsound");
    EXPECT_EQ(ApplicationTitleFromPath("zIV"), "ziv");
    EXPECT_EQ(ApplicationTitleFromPath("/x/.hidden"), "");
}

TEST(SignalWatch, ASignalBecomesACallOnThisThreadAndTheHandlerIsRestored) {
    std::vector<int> received;
    {
        TSignalWatch watch({SIGHUP, SIGTERM}, [&](int s) { received.push_back(s); });
        ASSERT_TRUE(watch.Ok());
        std::raise(SIGHUP);
        std::raise(SIGTERM);
        EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() == 2; }, 2000));
    }
    EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGTERM}));
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace ziv
