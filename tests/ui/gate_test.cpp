#include <gtest/gtest.h>
#include <pthread.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "audio/responsive_sound_service.h"
#include "audio/wave_player.h"
#include "ui/qt_timer.h"
#include "ui/qt_ui_invoker.h"
#include "ui/ui_gate.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;

// A synchronous play that takes 400 ms of real time, running `During` on
// the playing thread first (to inject events).
struct TSlowSoundService : TSoundService {
    bool PlaySound(const std::string&, std::uint32_t) override {
        PlayThread = std::this_thread::get_id();
        Playing = true;
        if (During)
            During();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        Playing = false;
        return true;
    }
    void StopSound() override {}
    std::function<void()> During;
    std::atomic<bool> Playing{false};
    std::thread::id PlayThread;
};

// A window that records its paints during a play, key presses (after
// OnKey) and close.
class Probe : public QWidget {
public:
    Probe(Strings& log, const TSlowSoundService& sound) : log_(log), sound_(sound) {
        resize(100, 60);
    }
    std::function<void()> OnKey = [] {};
    int PaintsDuringPlay = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Qt::white);
        PaintsDuringPlay += sound_.Playing ? 1 : 0;
    }
    void keyPressEvent(QKeyEvent* e) override {
        OnKey();
        log_.push_back("key " + e->text().toStdString());
    }
    void closeEvent(QCloseEvent* e) override {
        log_.push_back("close");
        e->accept();
    }

private:
    Strings& log_;
    const TSlowSoundService& sound_;
};

// The real pieces of the thread model around a slow sound: the gate, a Qt
// timer through it, the responsive service and the player.
class GateTest : public ::testing::Test {
protected:
    GateTest() {
        player.AfterPlay = [this](TSRWavePlayer&) { log.push_back("after-play"); };
        probe.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&probe));
    }

    Strings log;
    TUiGate gate;
    TSlowSoundService slow;
    TResponsiveSoundService sound{slow, gate};
    TSRWavePlayer player{sound};
    Probe probe{log, slow};
};

TEST_F(GateTest, PlayKeepsPaintingWhileInputTicksPostsAndCloseWaitForItInOrder) {
    TQtTimerFactory timers(&gate, nullptr);
    auto timer = timers.CreateTimer();
    timer->SetInterval(100);
    int ticks = 0;
    timer->OnTimer = [&] { log.push_back("tick " + std::to_string(++ticks)); };
    // A second timer falls due at 300 ms, after the key, which stops it: its
    // held tick must not come after the key.
    auto stopped = timers.CreateTimer();
    stopped->SetInterval(300);
    stopped->OnTimer = [&] { log.push_back("stopped timer's tick"); };
    probe.OnKey = [&] { stopped->SetEnabled(false); };
    TQtUiInvoker invoker(gate);

    // Meanwhile, from the playing thread: a key at ~150 ms, a hand-over at
    // ~200 ms and a close at ~250 ms. The timer falls due at 100, 200, 300
    // and 400 ms.
    // (The events are made here: their input device belongs to this thread.)
    QWindow* window = probe.windowHandle();
    auto* key = new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    auto* close = new QCloseEvent;
    slow.During = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        QCoreApplication::postEvent(window, key);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        invoker.InvokeAsync([&] { log.push_back("hand-over"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QCoreApplication::postEvent(window, close);
    };
    timer->SetEnabled(true);
    stopped->SetEnabled(true);
    // Played from inside the event loop, as a timer tick of the keyer does;
    // a repaint asked for in the middle of the message must not wait for
    // its end.
    bool done = false;
    QTimer::singleShot(150, &probe, [this] { probe.update(); });
    QTimer::singleShot(0, [&] {
        player.SetWaveName("cq.wav");
        player.Play();
        log.push_back("play returned");
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_NE(slow.PlayThread, std::this_thread::get_id());
    EXPECT_GT(probe.PaintsDuringPlay, 0);
    EXPECT_EQ(log, (Strings{"after-play", "play returned"}));

    // One tick for the four that fell due, then the rest in their order;
    // the timer goes on afterwards.
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.size() >= 7; }, 2000));
    timer->SetEnabled(false);
    EXPECT_EQ(log, (Strings{"after-play", "play returned", "tick 1", "key a", "hand-over", "close",
                            "tick 2"}));
    EXPECT_FALSE(probe.isVisible());
}

// A job's error, or no thread to run it on, still opens the gate again.
TEST_F(GateTest, AnErrorOrNoThreadToSpareAndTheGateOpensAgain) {
    bool done = false;
    QTimer::singleShot(0, [&] {
        EXPECT_THROW(gate.RunBlocking([] { throw std::runtime_error("no sound"); }),
                     std::runtime_error);
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 2000));
    EXPECT_FALSE(gate.Holding());
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers create threads their own way";
#else
    // A default stack larger than any address space: no thread can start.
    pthread_attr_t original{}, huge{};
    ASSERT_EQ(pthread_getattr_default_np(&original), 0);
    ASSERT_EQ(pthread_attr_init(&huge), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&huge, std::size_t{1} << 60), 0);
    done = false;
    QTimer::singleShot(0, [&] {
        pthread_setattr_default_np(&huge);
        try {
            player.SetWaveName("cq.wav");
            player.Play();
        } catch (const std::exception& e) {
            log.push_back(std::string("thrown: ") + e.what());
        }
        pthread_setattr_default_np(&original);
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&original);
    EXPECT_EQ(slow.PlayThread, std::this_thread::get_id());
    EXPECT_EQ(log, (Strings{"after-play"}));
    EXPECT_FALSE(gate.Holding());

    // Input after the play is not held back.
    probe.setFocus();
    QTest::keyClick(&probe, Qt::Key_B);
    EXPECT_EQ(log, (Strings{"after-play", "key b"}));
#endif
}

}  // namespace
}  // namespace ziv::test
