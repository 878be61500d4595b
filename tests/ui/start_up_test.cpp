#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ui/start_up.h"

namespace ziv {
namespace {

constexpr char kNoDisplay[] =
    "no display: set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session";

// The plan as one comparable value: error, X display to try, platform,
// fallback.
auto Plan(const TEnvironment& environment) {
    const TDisplayPlan p = PlanDisplay(environment);
    return std::make_tuple(p.error, p.xDisplay, p.platform, p.fallback);
}

using P = std::tuple<std::string, std::string, std::string, std::string>;

// No display at all, and Wayland alone, are run on the real program by
// start_up_test.sh.
TEST(DisplayPlan, TheXServerFirstWaylandTheFallbackAndAChosenPlatformKept) {
    // An empty variable is no display.
    EXPECT_EQ(Plan({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}),
              (P{kNoDisplay, "", "", ""}));
    EXPECT_EQ(Plan({{"DISPLAY", ":0"}}), (P{"", ":0", "xcb", ""}));
    // Under Wayland the X server is XWayland, where the window can stay on
    // top; also where the session would make Qt pick Wayland.
    EXPECT_EQ(Plan({{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "wayland-0"}}),
              (P{"", ":1", "xcb", "wayland"}));
    EXPECT_EQ(Plan({{"DISPLAY", ":1"}, {"XDG_SESSION_TYPE", "wayland"}}), (P{"", ":1", "xcb", ""}));
    // A platform the user chose is kept; only a lone X platform is checked.
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "offscreen"}}), (P{"", "", "", ""}));
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}), (P{"", "", "", ""}));
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "xcb"}}), (P{kNoDisplay, "", "", ""}));
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}}),
              (P{kNoDisplay, "", "", ""}));
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":2"}}), (P{"", ":2", "", ""}));
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "xcb:nograb"}, {"DISPLAY", ":2"}}), (P{"", ":2", "", ""}));
    // Qt tries a list in order: the next one may need no X display.
    EXPECT_EQ(Plan({{"QT_QPA_PLATFORM", "xcb;offscreen"}}), (P{"", "", "", ""}));
}

}  // namespace
}  // namespace ziv
