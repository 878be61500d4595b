#include <gtest/gtest.h>

#include "core/controls.h"

namespace ziv {
namespace {

TEST(Controls, ToggleGroupsRadioPairsAndTheTrackBarsClamp) {
    TToggleGroup group;
    TToggleButton a(group, true), b(group, true);
    int clicksA = 0, clicksB = 0, changesB = 0;
    a.OnClick = [&] { ++clicksA; };
    b.OnClick = [&] { ++clicksB; };
    b.OnChange = [&] { ++changesB; };

    a.Click();  // down, then the click
    EXPECT_TRUE(a.Down());
    EXPECT_EQ(clicksA, 1);
    b.SetDown(true);  // from the program: raises a, no click anywhere
    EXPECT_FALSE(a.Down());
    EXPECT_EQ(clicksA + clicksB, 1);
    b.SetDown(true);  // present value: nothing, not even a repaint
    EXPECT_EQ(changesB, 1);
    b.Click();  // all may be up: a pressed button comes up, and clicks
    EXPECT_FALSE(b.Down());
    EXPECT_EQ(clicksB, 1);

    b.SetEnabled(false);
    b.Click();  // a disabled button takes no click
    EXPECT_EQ(clicksB, 1);
    EXPECT_FALSE(b.Down());

    TRadioGroup radios;
    TRadioButton rts(radios), dtr(radios);
    rts.SetChecked(true);
    dtr.SetChecked(true);
    EXPECT_FALSE(rts.Checked());
    dtr.SetChecked(false);  // unchecking changes nothing else
    EXPECT_FALSE(rts.Checked());
    EXPECT_FALSE(dtr.Checked());

    TTrackBar bar(0, 20);
    int repaints = 0;
    bar.OnChange = [&] { ++repaints; };
    bar.SetPosition(25);
    EXPECT_EQ(bar.Position(), 20);
    bar.SetPosition(-1);
    bar.SetPosition(-5);  // clamps to the same 0: no repaint
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(repaints, 2);
}

}  // namespace
}  // namespace ziv
