#include "audio/private_pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ziv::test {
namespace {

bool WaitExit(pid_t pid, int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TPrivatePulseServer::TPrivatePulseServer(TSinkOptions options) : options_(options) {
    char pattern[] = "/tmp/ziv-pulse-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error_ = std::string("mkdtemp: ") + std::strerror(errno);
        return;
    }
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/run");
    std::filesystem::permissions(dir_ + "/run", std::filesystem::perms::owner_all);
    std::ofstream(dir_ + "/server.pa")
        << "load-module module-null-sink sink_name=" << kSink << " rate=" << options_.rate
        << " channels=1 format=float32le" << (options_.noRewinds ? " norewinds=1" : "") << "\n"
        << "set-default-sink " << kSink << "\n"
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
    Stop();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

pid_t TPrivatePulseServer::Spawn(const char* const argv[], bool stdinFromZero) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (stdinFromZero) {
            const int zero = ::open("/dev/zero", O_RDONLY);
            if (zero >= 0)
                ::dup2(zero, 0);
        }
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    return pid;
}

bool TPrivatePulseServer::WaitForSocket(int ms) {
    const std::string path = dir_ + "/native";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    for (int waited = 0; waited < ms; waited += 20) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        if (up)
            return true;
        if (::waitpid(server_, nullptr, WNOHANG) == server_) {
            server_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool TPrivatePulseServer::Start() {
    if (dir_.empty())
        return false;
    const std::string config = dir_ + "/server.pa";
    const std::string log = "--log-target=file:" + dir_ + "/server.log";
    const char* const server[] = {"pulseaudio",
                                  "-n",
                                  "-F",
                                  config.c_str(),
                                  "--daemonize=no",
                                  "--exit-idle-time=-1",
                                  "--use-pid-file=no",
                                  "--system=false",
                                  log.c_str(),
                                  // As a desktop runs it (rtkit): a starved
                                  // sink thread breaks every stream up.
                                  "--realtime=yes",
                                  "--high-priority=yes",
                                  nullptr};
    server_ = Spawn(server, false);
    if (server_ < 0 || !WaitForSocket(10000)) {
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
    for (int waited = 0; waited < 10000; waited += 20) {
        if (SinkInputs() > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = "the keep-alive stream did not connect";
    return false;
}

int TPrivatePulseServer::SinkInputs() {
    FILE* pactl = ::popen("pactl list short sink-inputs 2>/dev/null", "r");
    if (pactl == nullptr)
        return 0;
    int lines = 0;
    for (int c = std::fgetc(pactl); c != EOF; c = std::fgetc(pactl))
        if (c == '\n')
            ++lines;
    ::pclose(pactl);
    return lines;
}

void TPrivatePulseServer::End(pid_t& pid, int signal) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGCONT);
    ::kill(pid, signal);
    if (!WaitExit(pid, 5000)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

void TPrivatePulseServer::Stop() {
    End(keepAlive_, SIGTERM);
    End(server_, SIGTERM);
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
