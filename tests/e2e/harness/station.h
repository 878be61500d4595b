#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ziv::e2e {

// CLOCK_MONOTONIC now, in nanoseconds.
std::int64_t NowNs();
void SleepMs(int ms);

// An X server of the test's own. -displayfd lets it pick a free display
// and tells the number only once it accepts clients.
class TXServer {
public:
    TXServer() = default;
    ~TXServer();
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;

    bool Start(const std::string& workDir, std::string& error);
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// What goes into a station's settings file.
struct TStationSettings {
    int x = 10;
    int y = 10;
    std::string port;          // "COM1".."COM4" or empty
    std::string waveFiles[3];  // full paths
    std::string labels[3] = {"CQ", "QRZ", "TEST"};
    bool rts = true;                           // the PTT line: RTS, else DTR
    bool inverted = false;                     // the PTT polarity
    std::map<std::string, std::string> ports;  // COMn -> device path
};

std::string SettingsText(const TStationSettings& settings);

// One copy of the real program, in a directory of its own (the settings
// file lies beside the executable), driven through the X server with
// xdotool as an operator would drive it.
class TStation {
public:
    // The environment the program gets besides the test's own.
    using TEnvironment = std::map<std::string, std::string>;

    TStation(std::string program, std::string dir, const TXServer& x);
    ~TStation();
    TStation(const TStation&) = delete;
    TStation& operator=(const TStation&) = delete;

    void WriteSettings(const TStationSettings& settings);
    std::string SettingsPath() const { return dir_ + "/ZIVSound.ini"; }
    std::string ReadSettings() const;

    // Starts the program and waits until its main window is shown.
    bool Start(const TEnvironment& environment, std::string& error);
    std::int64_t StartedNs() const { return startedNs_; }
    std::int64_t ShownNs() const { return shownNs_; }
    pid_t Pid() const { return pid_; }
    bool Running();

    // Visible top-level windows of this process named "Zivsound" (the main
    // window and any message box).
    std::vector<std::string> Windows() const;
    const std::string& MainWindow() const { return window_; }
    struct TGeometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    TGeometry Geometry(const std::string& window) const;

    // The main window's title.
    std::string Title() const;
    // Cuts the program's connection to the X server, as a crashed or
    // restarted X session does.
    void KillXConnection();

    // Input goes to the main window: the pointer is moved into it first,
    // since without a window manager the keyboard follows the pointer.
    void Key(const std::string& keys);
    // Chooses a message by its key (F1..F3) and sends it with Ctrl+Enter.
    void Send(const std::string& messageKey);
    void Type(const std::string& text);
    // Coordinates inside the main window's client area.
    void Click(int x, int y);
    void Drag(int fromX, int fromY, int toX, int toY);
    // Input to another window of the program (a message box).
    void KeyTo(const std::string& window, const std::string& keys);

    // SIGTERM, and the exit code (128 + signal when killed, -1 on timeout).
    int Terminate(int timeoutMs = 5000);
    // SIGKILL: the program ends without closing anything.
    int Kill();
    std::string Stderr() const;

private:
    int WaitExit(int timeoutMs);

    std::string program_;
    std::string dir_;
    const TXServer& x_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    std::string window_;
    std::int64_t startedNs_ = 0;
    std::int64_t shownNs_ = 0;
};

// Runs xdotool on the display with the given arguments; its output.
std::string Xdotool(const std::string& display, const std::vector<std::string>& arguments);

}  // namespace ziv::e2e
