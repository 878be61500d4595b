#include "ui/window_position.h"

#include <gtest/gtest.h>

#include <climits>

// Failures name the point, not its bytes.
static void PrintTo(const QPoint& p, std::ostream* out) {
    *out << "(" << p.x() << ", " << p.y() << ")";
}

namespace ziv {
namespace {

const QSize kFrame(165, 138);
// A desk of two monitors: the primary and one right of it.
const QRect kPrimary(0, 0, 1920, 1040);
const QRect kRight(1920, 0, 1280, 1024);

TEST(PlaceWindowFrame, AFrameOnAnyScreenStaysElseItMovesTheLeastWayOntoThePrimary) {
    // Partly off a screen is still within reach of the mouse.
    for (const QPoint corner : {QPoint(2500, 300), QPoint(-100, -50), QPoint(3150, 1000)})
        EXPECT_EQ(PlaceWindowFrame(corner.x(), corner.y(), kFrame, {kPrimary, kRight}, kPrimary),
                  corner);
    EXPECT_EQ(PlaceWindowFrame(3200, 100, kFrame, {kPrimary, kRight}, kPrimary), QPoint(1755, 100));
    EXPECT_EQ(PlaceWindowFrame(2500, 300, kFrame, {kPrimary}, kPrimary), QPoint(1755, 300));
    EXPECT_EQ(PlaceWindowFrame(-1500, 1100, kFrame, {kPrimary}, kPrimary), QPoint(0, 902));
    const QRect shifted(1280, 30, 1920, 1050);
    EXPECT_EQ(PlaceWindowFrame(1500, -200, kFrame, {shifted}, shifted), QPoint(1500, 30));
    EXPECT_EQ(PlaceWindowFrame(5000, 5000, QSize(4000, 3000), {kPrimary}, kPrimary), QPoint(0, 0));

    // Any stored int gives a frame wholly on the primary. Left and top of
    // the primary are negative: sums near INT_MIN must not wrap either.
    const QRect primary(-1280, -200, 1280, 1024);
    const int values[] = {INT_MIN, INT_MIN + 1, -2000000000, -5000, 5000, INT_MAX - 1, INT_MAX};
    for (const int x : values)
        for (const int y : values)
            for (const QSize frame : {kFrame, QSize(0, 0)})
                EXPECT_TRUE(primary.contains(
                    QRect(PlaceWindowFrame(x, y, frame, {primary, kPrimary}, primary),
                          frame.expandedTo(QSize(1, 1)))))
                    << x << "," << y;
}

}  // namespace
}  // namespace ziv
