// Where the real program's window comes up and what it saves, under a
// window manager: the frame it adds is what set the saved and the restored
// position apart.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness/end_to_end.h"
#include "e2e/harness/window_points.h"

namespace ziv::e2e {
namespace {

constexpr int kScreenWidth = 800;  // the harness's Xvfb screen
constexpr int kScreenHeight = 600;
constexpr int kNarrowOuterWidth = 165;
constexpr int kWideOuterWidth = 290;

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

// openbox on the test's X server; it decorates the windows mapped after
// Start() returns.
class TWindowManager {
public:
    ~TWindowManager() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool Start(const std::string& display, const std::string& dir, std::string& error) {
        display_ = display;
        const std::string log = dir + "/openbox.log";
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::setenv("DISPLAY", display.c_str(), 1);
            // Its session and cache files stay in the test's directory.
            ::setenv("HOME", dir.c_str(), 1);
            ::unsetenv("XDG_CONFIG_HOME");
            ::unsetenv("XDG_CACHE_HOME");
            ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // A window manager announces itself on the root window once it has
        // taken over; windows mapped before that would stay undecorated.
        for (int waited = 0; waited < 10000; waited += 50) {
            if (Output("xprop -display " + display_ + " -root _NET_SUPPORTING_WM_CHECK")
                    .find("window id") != std::string::npos)
                return true;
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            SleepMs(50);
        }
        error = "openbox did not take over the display";
        return false;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct TRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The window's frame as the window manager drew it, once it has: the
// client area's absolute place (xwininfo; xdotool's getwindowgeometry adds
// the client's offset inside the frame once more) grown by the frame's
// extents. Empty if no frame came within the time.
std::optional<TRect> FrameOf(const std::string& display, const std::string& window) {
    const std::regex extents(R"(= (\d+), (\d+), (\d+), (\d+))");
    for (int waited = 0; waited < 5000; waited += 50, SleepMs(50)) {
        const std::string frame =
            Output("xprop -display " + display + " -id " + window + " _NET_FRAME_EXTENTS");
        std::smatch e;
        if (!std::regex_search(frame, e, extents) || std::stoi(e[3]) == 0)
            continue;
        const std::string info = Output("xwininfo -display " + display + " -id " + window);
        std::smatch x, y, w, h;
        if (!std::regex_search(info, x, std::regex(R"(Absolute upper-left X:\s+(-?\d+))")) ||
            !std::regex_search(info, y, std::regex(R"(Absolute upper-left Y:\s+(-?\d+))")) ||
            !std::regex_search(info, w, std::regex(R"(Width:\s+(\d+))")) ||
            !std::regex_search(info, h, std::regex(R"(Height:\s+(\d+))")))
            continue;
        const int left = std::stoi(e[1]), right = std::stoi(e[2]);
        const int top = std::stoi(e[3]), bottom = std::stoi(e[4]);
        return TRect{std::stoi(x[1]) - left, std::stoi(y[1]) - top, std::stoi(w[1]) + left + right,
                     std::stoi(h[1]) + top + bottom};
    }
    return std::nullopt;
}

// The program sets its window's width when the frame's width becomes
// known, and corrects its first placement once framed; waits for both: the
// width, then the same frame twice in a row (a busy machine can show the
// frame between the two moves).
std::optional<TRect> FrameOfWidth(const std::string& display, const std::string& window,
                                  int width) {
    std::optional<TRect> frame, previous;
    for (int tries = 0; tries < 40; ++tries, SleepMs(100)) {
        frame = FrameOf(display, window);
        if (!frame)
            break;
        if (frame->width == width && previous && frame->x == previous->x &&
            frame->y == previous->y && frame->width == previous->width)
            break;
        previous = frame;
    }
    return frame;
}

std::optional<TRect> NarrowFrameOf(const std::string& display, const std::string& window) {
    return FrameOfWidth(display, window, kNarrowOuterWidth);
}

struct TSaved {
    std::optional<long long> x, y;
    bool operator==(const TSaved&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TSaved& s) {
    auto text = [](const std::optional<long long>& v) {
        return v ? std::to_string(*v) : std::string("none");
    };
    return out << "X=" << text(s.x) << " Y=" << text(s.y);
}

TSaved SavedPosition(const TStation& station) {
    std::istringstream lines(station.ReadSettings());
    TSaved saved;
    bool inSection = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[')
            inSection = line == "[ZIV SOUND]";
        else if (inSection && line.rfind("X=", 0) == 0)
            saved.x = std::atoll(line.c_str() + 2);
        else if (inSection && line.rfind("Y=", 0) == 0)
            saved.y = std::atoll(line.c_str() + 2);
    }
    return saved;
}

// Starts the station, waits for its frame, ends it with SIGTERM; the frame
// it had and the position it saved.
struct TRun {
    std::optional<TRect> frame;
    TSaved saved;
};

TRun StartAndEnd(TEndToEnd& run, TStation& station) {
    TRun result;
    if (!run.Launch(station)) {
        ADD_FAILURE() << run.Error();
        return result;
    }
    result.frame = NarrowFrameOf(run.Display(), station.MainWindow());
    EXPECT_TRUE(result.frame) << "the window manager never framed the window";
    EXPECT_EQ(station.Terminate(), 0) << station.Stderr();
    result.saved = SavedPosition(station);
    return result;
}

// A run under openbox, with stations that use no port.
class WindowPosition : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run_.Start()) << run_.Error();
        std::string error;
        ASSERT_TRUE(manager_.Start(run_.Display(), run_.Dir(), error)) << error;
    }

    // The station, whose settings hold this place.
    TStation& StationAt(int x, int y) {
        TStationSettings settings;
        settings.x = x;
        settings.y = y;
        settings.port = "";
        return run_.NewStation("station", settings);
    }

    TEndToEnd run_;
    TWindowManager manager_;
};

TEST_F(WindowPosition, UnderAWindowManagerTenRestartsKeepTheSavedPlaceAndTheNarrowWidth) {
    constexpr int kX = 200, kY = 150;
    TStation& station = StationAt(kX, kY);
    std::vector<TSaved> saved;
    std::string trail;
    for (int start = 1; start <= 10; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        const TRun r = StartAndEnd(run_, station);
        ASSERT_TRUE(r.frame);
        // The stored X and Y are the frame's corner, as they are saved.
        EXPECT_EQ(r.frame->x, kX);
        EXPECT_EQ(r.frame->y, kY);
        EXPECT_EQ(r.frame->width, kNarrowOuterWidth);
        saved.push_back(r.saved);
        std::ostringstream s;
        s << r.saved;
        trail += " " + s.str() + ";";
    }
    RecordProperty("saved", trail);
    for (std::size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(saved[i], (TSaved{kX, kY})) << "start " << i + 1 << ":" << trail;
}

TEST_F(WindowPosition, UnderAWindowManagerTheWidenButtonGivesTheWideWidthAndBackInPlace) {
    TStation& station = StationAt(200, 150);
    ASSERT_TRUE(run_.Launch(station)) << run_.Error();

    const std::optional<TRect> narrow = NarrowFrameOf(run_.Display(), station.MainWindow());
    ASSERT_TRUE(narrow) << "the window manager never framed the window";
    EXPECT_EQ(narrow->width, kNarrowOuterWidth);
    station.Click(kWidenX, kWidenY);
    const std::optional<TRect> wide =
        FrameOfWidth(run_.Display(), station.MainWindow(), kWideOuterWidth);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width, kWideOuterWidth);
    // The window grows to the right; its corner stays where it was.
    EXPECT_EQ(wide->x, narrow->x);
    EXPECT_EQ(wide->y, narrow->y);
    station.Click(kWidenX, kWidenY);
    const std::optional<TRect> again = NarrowFrameOf(run_.Display(), station.MainWindow());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->width, kNarrowOuterWidth);
    EXPECT_EQ(again->x, narrow->x);
    EXPECT_EQ(again->y, narrow->y);
    EXPECT_EQ(station.Terminate(), 0) << station.Stderr();
}

TEST_F(WindowPosition, AStoredXOfIntMaxStartsOnTheScreenAndSavesAPlaceOnIt) {
    constexpr int kY = 40;
    TStation& station = StationAt(INT_MAX, kY);

    const TRun r = StartAndEnd(run_, station);
    ASSERT_TRUE(r.frame);
    const TRect f = *r.frame;
    EXPECT_TRUE(f.x >= 0 && f.y >= 0 && f.x + f.width <= kScreenWidth &&
                f.y + f.height <= kScreenHeight)
        << "frame at " << f.x << "," << f.y << " " << f.width << "x" << f.height;
    // The coordinate that was on the screen is kept.
    EXPECT_EQ(f.y, kY);
    // What is saved is where the window was, and it comes back there.
    EXPECT_EQ(r.saved, (TSaved{f.x, f.y}));
    const TRun again = StartAndEnd(run_, station);
    ASSERT_TRUE(again.frame);
    EXPECT_EQ(again.frame->x, f.x);
    EXPECT_EQ(again.frame->y, f.y);
    EXPECT_EQ(again.saved, r.saved);
}

}  // namespace
}  // namespace ziv::e2e
