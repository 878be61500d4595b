#include "ui/window_position.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <climits>
#include <sstream>

#include "ui/form_rig.h"

// Failures name the point, not its bytes.
static void PrintTo(const QPoint& p, std::ostream* out) {
    *out << "(" << p.x() << ", " << p.y() << ")";
}

namespace ziv::test {
namespace {

const QSize kFrame(165, 138);
// A desk of two monitors: the primary and one right of it.
const QRect kPrimary(0, 0, 1920, 1040);
const QRect kRight(1920, 0, 1280, 1024);

bool Inside(const QPoint& corner, const QSize& frame, const QRect& area) {
    return area.contains(QRect(corner, frame));
}

TEST(PlaceWindowFrame, AFrameOverlappingAnyScreenStaysWhereItWasAskedToBe) {
    const std::vector<QRect> screens = {kPrimary, kRight};
    for (const QPoint corner : {QPoint(100, 100), QPoint(2500, 300),
                                // Partly off: still within reach of the mouse.
                                QPoint(-100, -50), QPoint(3150, 1000), QPoint(1900, 500)}) {
        EXPECT_EQ(PlaceWindowFrame(corner.x(), corner.y(), kFrame, screens, kPrimary), corner);
    }
    // A frame just past the last pixel touches no screen.
    EXPECT_NE(PlaceWindowFrame(3200, 100, kFrame, screens, kPrimary), QPoint(3200, 100));
    EXPECT_NE(PlaceWindowFrame(100, -138, kFrame, screens, kPrimary), QPoint(100, -138));
}

TEST(PlaceWindowFrame, AFrameOnAMonitorNoLongerConnectedMovesTheLeastWayOntoThePrimary) {
    const std::vector<QRect> onlyPrimary = {kPrimary};
    // Saved on the right monitor: the height on the screen is kept.
    EXPECT_EQ(PlaceWindowFrame(2500, 300, kFrame, onlyPrimary, kPrimary), QPoint(1755, 300));
    // Saved on one below and left of it.
    EXPECT_EQ(PlaceWindowFrame(-1500, 1100, kFrame, onlyPrimary, kPrimary), QPoint(0, 902));
    // The primary need not be at the origin, and its available area may
    // leave out a panel.
    const QRect shifted(1280, 30, 1920, 1050);
    EXPECT_EQ(PlaceWindowFrame(100, 500, kFrame, {shifted}, shifted), QPoint(1280, 500));
    EXPECT_EQ(PlaceWindowFrame(1500, -200, kFrame, {shifted}, shifted), QPoint(1500, 30));
    // A frame larger than the primary goes to its top-left corner.
    EXPECT_EQ(PlaceWindowFrame(5000, 5000, QSize(4000, 3000), onlyPrimary, kPrimary), QPoint(0, 0));
}

TEST(PlaceWindowFrame, AnyStoredIntGivesAFrameWhollyOnThePrimary) {
    // Left and top of the primary are negative here: the sums near INT_MIN
    // must not wrap either.
    const QRect primary(-1280, -200, 1280, 1024);
    const std::vector<QRect> screens = {primary, kPrimary};
    const int values[] = {INT_MIN, INT_MIN + 1, -2000000000, -5000,
                          5000,    2000000000,  INT_MAX - 1, INT_MAX};
    for (const int x : values) {
        for (const int y : values) {
            SCOPED_TRACE(testing::Message() << "x=" << x << " y=" << y);
            for (const QSize frame : {kFrame, QSize(1, 1), QSize(0, 0), QSize(3000, 3000)}) {
                const QPoint corner = PlaceWindowFrame(x, y, frame, screens, primary);
                if (frame.width() <= primary.width() && frame.height() <= primary.height())
                    EXPECT_TRUE(Inside(corner, frame.expandedTo(QSize(1, 1)), primary))
                        << corner.x() << "," << corner.y();
                else
                    EXPECT_EQ(corner, primary.topLeft());
            }
        }
    }
}

long long SavedValue(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0)
            return std::stoll(line.substr(key.size() + 1));
    ADD_FAILURE() << key << " was not saved:\n" << text;
    return 0;
}

TEST(FormSoundPosition, StoredPositionsOnNoScreenShowAndSaveTheWindowWhollyOnThePrimary) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    const std::pair<int, int> stored[] = {
        {INT_MAX, 10},      {10, INT_MAX},          {INT_MIN, 10},
        {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN},     {INT_MAX, INT_MIN},
        {-1200, -30},       {area.right() + 1, 40}, {-2000000000, 2000000000},
        {INT_MAX - 100, 10}};
    for (const auto& [x, y] : stored) {
        SCOPED_TRACE(testing::Message() << "X=" << x << " Y=" << y);
        TFormRig rig;
        rig.WriteSettings("X=" + std::to_string(x) + "\nY=" + std::to_string(y) + "\n");
        rig.form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.form));
        const QRect shown = rig.form.frameGeometry();
        EXPECT_TRUE(area.contains(shown)) << shown.x() << "," << shown.y();
        EXPECT_EQ(rig.form.OuterWidth(), TFormSound::NarrowWidth);
        rig.form.close();
        EXPECT_EQ(SavedValue(rig.ReadSettings(), "X"), shown.x());
        EXPECT_EQ(SavedValue(rig.ReadSettings(), "Y"), shown.y());
    }
}

}  // namespace
}  // namespace ziv::test
