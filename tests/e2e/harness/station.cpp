#include "e2e/harness/station.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ziv::e2e {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Waits for a child; its exit code, 128 + signal when killed, -1 when it
// is still running after the timeout.
int WaitChild(pid_t pid, int timeoutMs) {
    const std::int64_t until = NowNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 && errno != EINTR)
            return -1;
        if (NowNs() > until)
            return -1;
        SleepMs(5);
    }
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::int64_t NowNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Xdotool(const std::string& display, const std::vector<std::string>& arguments) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::setenv("DISPLAY", display.c_str(), 1);
        ::execvp("xdotool", Argv(command).data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        text.append(buffer, std::size_t(n));
    }
    ::close(out[0]);
    if (pid > 0)
        WaitChild(pid, 10000);
    return text;
}

// ---------------------------------------------------------------------------

TXServer::~TXServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (WaitChild(pid_, 5000) < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
}

bool TXServer::Start(const std::string& workDir, std::string& error) {
    const std::string displayFile = workDir + "/display";
    const std::string logFile = workDir + "/xvfb.log";
    pid_ = ::fork();
    if (pid_ == 0) {
        const int fd = ::open(displayFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 3);
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(log, 2);
        // -noreset: by default the server resets when its last client
        // leaves, and a client connecting meanwhile is refused; xdotool's
        // short connections would make the program's start a lottery.
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "800x600x24", "-nolisten",
                 "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int waited = 0; waited < 10000; waited += 20) {
        std::string number = ReadAll(displayFile);
        if (!number.empty() && number.back() == '\n') {
            display_ = ":" + number.substr(0, number.size() - 1);
            // A client that got through proves it ready.
            for (; waited < 10000; waited += 20) {
                if (Xdotool(display_, {"getdisplaygeometry"}).find("800 600") == 0)
                    return true;
                SleepMs(20);
            }
            break;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        SleepMs(20);
    }
    error = "Xvfb did not start: " + ReadAll(logFile);
    return false;
}

// ---------------------------------------------------------------------------

std::string SettingsText(const TStationSettings& s) {
    std::ostringstream text;
    text << "[ZIV SOUND]\n"
         << "X=" << s.x << "\nY=" << s.y << "\nPort=" << s.port << "\n";
    for (int n = 0; n < 3; ++n)
        text << "Wave File" << n + 1 << "=" << s.waveFiles[n] << "\n";
    for (int n = 0; n < 3; ++n)
        text << "Label" << n + 1 << "=" << s.labels[n] << "\n";
    text << "RTS=" << (s.rts ? 1 : 0) << "\nDTR=" << (s.rts ? 0 : 1)
         << "\nNorm=" << (s.inverted ? 0 : 1) << "\nInv=" << (s.inverted ? 1 : 0) << "\n";
    if (!s.ports.empty()) {
        text << "[Ports]\n";
        for (const auto& [name, path] : s.ports)
            text << name << "=" << path << "\n";
    }
    return text.str();
}

TStation::TStation(std::string program, std::string dir, const TXServer& x)
    : program_(std::move(program)), dir_(std::move(dir)), x_(x) {
    std::filesystem::create_directories(dir_);
    std::filesystem::copy_file(program_, dir_ + "/ZIVSound",
                               std::filesystem::copy_options::overwrite_existing);
}

TStation::~TStation() {
    if (pid_ > 0 && exitCode_ < 0)
        Kill();
}

void TStation::WriteSettings(const TStationSettings& settings) {
    std::ofstream(SettingsPath(), std::ios::binary | std::ios::trunc) << SettingsText(settings);
}

std::string TStation::ReadSettings() const {
    return ReadAll(SettingsPath());
}

std::string TStation::Stderr() const {
    return ReadAll(dir_ + "/stderr.txt");
}

bool TStation::Start(const TEnvironment& environment, std::string& error) {
    const std::string exe = dir_ + "/ZIVSound";
    const std::string log = dir_ + "/stderr.txt";
    // A station may be started again after its program ended.
    exitCode_ = -1;
    window_.clear();
    startedNs_ = NowNs();
    pid_ = ::fork();
    if (pid_ == 0) {
        if (::chdir(dir_.c_str()) != 0)
            ::_exit(126);
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::setenv("DISPLAY", x_.Display().c_str(), 1);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    for (int waited = 0; waited < 15000; waited += 5) {
        const std::vector<std::string> windows = Windows();
        if (!windows.empty()) {
            shownNs_ = NowNs();
            window_ = windows.front();
            return true;
        }
        if (!Running()) {
            error = "the program ended before its window showed (exit " +
                    std::to_string(exitCode_) + "):\n" + Stderr();
            return false;
        }
        SleepMs(5);
    }
    error = "the program's window did not show:\n" + Stderr();
    return false;
}

bool TStation::Running() {
    if (pid_ <= 0 || exitCode_ >= 0)
        return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

std::vector<std::string> TStation::Windows() const {
    std::istringstream out(Xdotool(x_.Display(), {"search", "--all", "--onlyvisible", "--pid",
                                                  std::to_string(pid_), "--name", "^Zivsound$"}));
    std::vector<std::string> windows;
    for (std::string id; out >> id;)
        windows.push_back(id);
    return windows;
}

std::string TStation::Title() const {
    std::string title = Xdotool(x_.Display(), {"getwindowname", window_});
    while (!title.empty() && title.back() == '\n')
        title.pop_back();
    return title;
}

void TStation::KillXConnection() {
    Xdotool(x_.Display(), {"windowkill", window_});
}

TStation::TGeometry TStation::Geometry(const std::string& window) const {
    std::istringstream out(Xdotool(x_.Display(), {"getwindowgeometry", "--shell", window}));
    TGeometry g;
    for (std::string line; std::getline(out, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X")
            g.x = value;
        else if (key == "Y")
            g.y = value;
        else if (key == "WIDTH")
            g.width = value;
        else if (key == "HEIGHT")
            g.height = value;
    }
    return g;
}

// Without a window manager the keyboard follows the pointer, and Qt takes
// keys only in the window it last saw focused: so the window is given the
// focus and the pointer before each key. xdotool's "--sync" options wait
// for an event that never comes when nothing has to change, so none is
// used: the X server handles the requests of one connection in order.
void TStation::Key(const std::string& keys) {
    KeyTo(window_, keys);
}

void TStation::Send(const std::string& messageKey) {
    Key(messageKey);
    Key("ctrl+Return");
}

void TStation::KeyTo(const std::string& window, const std::string& keys) {
    // A point inside the window that takes no click: the gap right of the
    // message buttons in the main window, the frame's corner in a box.
    const bool main = window == window_;
    Xdotool(x_.Display(), {"windowfocus", window, "mousemove", "--window", window,
                           main ? "150" : "2", main ? "60" : "2", "key", "--clearmodifiers", keys});
}

void TStation::Type(const std::string& text) {
    Xdotool(x_.Display(), {"type", "--delay", "30", text});
}

void TStation::Click(int x, int y) {
    Xdotool(x_.Display(),
            {"mousemove", "--window", window_, std::to_string(x), std::to_string(y), "click", "1"});
}

void TStation::Drag(int fromX, int fromY, int toX, int toY) {
    const std::string& w = window_;
    const std::string& d = x_.Display();
    Xdotool(d, {"mousemove", "--window", w, std::to_string(fromX), std::to_string(fromY),
                "mousedown", "1"});
    SleepMs(50);
    Xdotool(d, {"mousemove", "--window", w, std::to_string(toX), std::to_string(toY)});
    SleepMs(50);
    Xdotool(d, {"mouseup", "1"});
}

int TStation::WaitExit(int timeoutMs) {
    if (exitCode_ >= 0 || pid_ <= 0)
        return exitCode_;
    exitCode_ = WaitChild(pid_, timeoutMs);
    return exitCode_;
}

int TStation::Terminate(int timeoutMs) {
    if (Running())
        ::kill(pid_, SIGTERM);
    return WaitExit(timeoutMs);
}

int TStation::Kill() {
    if (Running())
        ::kill(pid_, SIGKILL);
    return WaitExit(5000);
}

}  // namespace ziv::e2e
