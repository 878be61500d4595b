#include "audio/private_pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ziv::test {
namespace {

// Polls `done` every 20 ms for up to ten seconds.
template <typename F>
bool Within10s(F done) {
    for (int waited = 0; waited < 10000; waited += 20) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A program with its output dropped, reading /dev/zero if asked.
pid_t Spawn(const char* const argv[], bool readsZeros = false) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (readsZeros)
            ::dup2(::open("/dev/zero", O_RDONLY), 0);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    return pid;
}

}  // namespace

TPrivatePulseServer::TPrivatePulseServer() {
    char pattern[] = "/tmp/ziv-pulse-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error_ = std::string("mkdtemp: ") + std::strerror(errno);
        return;
    }
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/run");
    std::filesystem::permissions(dir_ + "/run", std::filesystem::perms::owner_all);
    std::ofstream(dir_ + "/server.pa")
        << "load-module module-null-sink sink_name=ziv_null rate=" << kRate
        << " channels=1 format=float32le\nset-default-sink ziv_null\n"
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << dir_
        << "/native\n";
    // Everything that could lead a client or the server to the machine's
    // own sound setup is pointed into the temporary directory.
    ::setenv("HOME", dir_.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", (dir_ + "/run/pulse").c_str(), 1);
    ::setenv("PULSE_STATE_PATH", (dir_ + "/state").c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + dir_ + "/native").c_str(), 1);
    ::unsetenv("PULSE_SINK");
}

TPrivatePulseServer::~TPrivatePulseServer() {
    End(keepAlive_, SIGTERM);
    End(server_, SIGTERM);
    if (!dir_.empty())
        std::filesystem::remove_all(dir_);
}

bool TPrivatePulseServer::Start() {
    if (dir_.empty())
        return false;
    const std::string config = dir_ + "/server.pa",
                      log = "--log-target=file:" + dir_ + "/server.log";
    // At the priority a desktop runs it (rtkit): a starved sink thread
    // breaks every stream up.
    // clang-format off
    const char* const server[] = {
        "pulseaudio", "-n", "-F", config.c_str(), "--daemonize=no", "--exit-idle-time=-1",
        "--use-pid-file=no", "--system=false", log.c_str(), "--realtime=yes",
        "--high-priority=yes", nullptr};
    // clang-format on
    server_ = Spawn(server);
    // PULSE_SERVER names the one server, so pactl starts none of its own.
    const auto answers = [] { return std::system("pactl info >/dev/null 2>&1") == 0; };
    const auto gone = [this] { return ::waitpid(server_, nullptr, WNOHANG) == server_; };
    if (!Within10s([&] { return gone() || answers(); }) || ::kill(server_, 0) != 0) {
        std::ostringstream text;
        text << "pulseaudio did not start; its log:\n"
             << std::ifstream(dir_ + "/server.log").rdbuf();
        error_ = text.str();
        End(server_, SIGKILL);
        return false;
    }
    const char* const keepAlive[] = {
        "pacat", "--playback", "--raw", "--latency-msec=10", "--client-name=keep-alive", nullptr};
    keepAlive_ = Spawn(keepAlive, true);
    // The sink runs smoothly only once the keep-alive stream is in.
    if (Within10s([] {
            return std::system("pactl list short sink-inputs 2>/dev/null | grep -q .") == 0;
        }))
        return true;
    error_ = "the keep-alive stream did not connect";
    return false;
}

void TPrivatePulseServer::End(pid_t& pid, int signal) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGCONT);
    ::kill(pid, signal);
    Within10s([pid] { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
    if (::kill(pid, SIGKILL) == 0)
        ::waitpid(pid, nullptr, 0);
    pid = -1;
}

void TPrivatePulseServer::Kill() {
    End(server_, SIGKILL);
    End(keepAlive_, SIGKILL);
}

void TPrivatePulseServer::Pause() {
    if (server_ > 0)
        ::kill(server_, SIGSTOP);
}

void TPrivatePulseServer::Resume() {
    if (server_ > 0)
        ::kill(server_, SIGCONT);
}

}  // namespace ziv::test
