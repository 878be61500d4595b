#include <gtest/gtest.h>

#include <vector>

#include "mock/virtual_ui_thread.h"

namespace ziv::test {
namespace {

TEST(VirtualTimer, EnableRulesAndPeriod) {
    TVirtualUiThread ui;
    auto timer = ui.CreateTimer();
    timer->SetInterval(60);
    std::vector<std::int64_t> ticks;
    timer->OnTimer = [&] { ticks.push_back(ui.Now()); };

    ui.Advance(10);
    timer->SetEnabled(true);  // fresh period: first tick one interval later
    ui.Advance(100);
    timer->SetEnabled(true);  // already enabled: the running period goes on
    ui.Advance(100);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{70, 130, 190}));

    timer->SetEnabled(false);
    ui.Advance(500);
    EXPECT_EQ(ticks.size(), 3u);
    timer->SetEnabled(true);
    ui.Advance(60);
    EXPECT_EQ(ticks.back(), 770);  // enabled again at 710
}

TEST(VirtualTimer, BusyThreadDeliversOneLateTickThenKeepsTheGrid) {
    TVirtualUiThread ui;
    auto timer = ui.CreateTimer();
    timer->SetInterval(1000);
    std::vector<std::int64_t> ticks;
    timer->OnTimer = [&] { ticks.push_back(ui.Now()); };
    timer->SetEnabled(true);

    std::vector<std::int64_t> inputs;
    // A handler at 500 keeps the thread busy for 3.2 s; an input at 1200
    // and the ticks due at 1000..3000 wait.
    ui.PostAt(500, [&] { ui.Busy(3200); });
    ui.PostAt(1200, [&] { inputs.push_back(ui.Now()); });
    ui.RunUntil(6000);

    // The tick due at 1000 comes first (it fell due first), once, at 3700;
    // the next is one interval after that delivery.
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_EQ(ticks[0], 3700);
    EXPECT_EQ(inputs, (std::vector<std::int64_t>{3700}));
    EXPECT_EQ(ticks[1], 4700);
    EXPECT_EQ(ticks[2], 5700);
}

}  // namespace
}  // namespace ziv::test
