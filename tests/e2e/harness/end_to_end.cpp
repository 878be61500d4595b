#include "e2e/harness/end_to_end.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>

#include "e2e/serial_double/device_state.h"

namespace ziv::e2e {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Runs a sound tool against the private server (the environment points
// there); its exit code, -1 when it could not run or took too long.
int RunTool(const std::vector<std::string>& command, int timeoutMs) {
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0)
        return -1;
    const std::int64_t until = NowNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR)
            return -1;
        if (NowNs() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        SleepMs(5);
    }
}

}  // namespace

TEndToEnd::TEndToEnd()
    : program_(Variable("ZIV_E2E_PROGRAM")), preload_(Variable("ZIV_E2E_SERIAL_DOUBLE")) {
    char pattern[] = "/tmp/ziv-e2e-XXXXXX";
    if (::mkdtemp(pattern) != nullptr)
        dir_ = pattern;
    log_ = dir_ + "/lines.log";
}

TEndToEnd::~TEndToEnd() {
    // Programs first: they are clients of both servers.
    stations_.clear();
    recording_.reset();
    x_.reset();
    sound_.reset();
    if (!dir_.empty() && std::getenv("ZIV_E2E_KEEP") == nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool TEndToEnd::Start() {
    if (dir_.empty()) {
        error_ = "cannot make a temporary directory";
        return false;
    }
    if (program_.empty() || preload_.empty()) {
        error_ = "ZIV_E2E_PROGRAM and ZIV_E2E_SERIAL_DOUBLE must name the program and the double";
        return false;
    }
    sound_ = std::make_unique<test::TPrivatePulseServer>(
        test::TSinkOptions{.rate = kSinkRate, .noRewinds = true});
    if (!sound_->Start()) {
        error_ = sound_->Error();
        return false;
    }
    x_ = std::make_unique<TXServer>();
    if (!x_->Start(dir_, error_))
        return false;
    recording_ = std::make_unique<TSinkRecording>(kSinkRate);
    return recording_->Start(error_);
}

bool TEndToEnd::MonitorAsDefaultSource() {
    const int code =
        RunTool({"pactl", "set-default-source", test::TPrivatePulseServer::kMonitor}, 5000);
    if (code != 0)
        error_ = "pactl set-default-source failed (" + std::to_string(code) + ")";
    return code == 0;
}

bool TEndToEnd::PlayIntoSink(const std::string& path) {
    const int code = RunTool(
        {"paplay", std::string("--device=") + test::TPrivatePulseServer::kSink, path}, 15000);
    if (code != 0)
        error_ = "paplay " + path + " failed (" + std::to_string(code) + ")";
    return code == 0;
}

std::string TEndToEnd::NewDevice(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    if (!ResetDevice(path))
        error_ = "cannot make the device double " + path;
    devices_.push_back(path);
    return path;
}

std::string TEndToEnd::NewMessage(const std::string& name, const TMarkedMessage& message) {
    const std::string path = dir_ + "/" + name;
    WriteMarkedMessage(path, message, error_);
    return path;
}

TStation& TEndToEnd::NewStation(const std::string& name, const TStationSettings& settings) {
    stations_.push_back(std::make_unique<TStation>(program_, dir_ + "/" + name, *x_));
    stations_.back()->WriteSettings(settings);
    return *stations_.back();
}

bool TEndToEnd::Launch(TStation& station) {
    std::string devices;
    for (const std::string& d : devices_)
        devices += (devices.empty() ? "" : ":") + d;
    if (!station.Start({{"LD_PRELOAD", preload_},
                        {"ZIV_SERIAL_DOUBLE_DEVICES", devices},
                        {"ZIV_SERIAL_DOUBLE_LOG", log_}},
                       error_))
        return false;
    // Keys sent the moment the window is mapped are lost: Qt takes them
    // only once it has handled the window's first expose and focus.
    SleepMs(300);
    return true;
}

TStation* TEndToEnd::StationOnCom1(const TPtt& ptt, const std::vector<TMarkedMessage>& messages) {
    if (!Start())
        return nullptr;
    TStationSettings settings = OnCom1(NewDevice("ttyE0"), ptt);
    for (std::size_t n = 0; n < messages.size() && n < std::size(settings.waveFiles); ++n)
        settings.waveFiles[n] = NewMessage("message" + std::to_string(n + 1) + ".wav", messages[n]);
    return error_.empty() ? &NewStation("station", settings) : nullptr;
}

bool TEndToEnd::WaitForTransmissions(const std::string& device, const TPtt& ptt, std::size_t count,
                                     int timeoutMs, int settleMs) {
    const std::int64_t until = NowNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
        std::size_t ended = 0;
        for (const TKeyedSpan& span : Transmissions(Lines(), device, ptt))
            if (span.unkeyNs != TKeyedSpan::kStillKeyed)
                ++ended;
        if (ended >= count) {
            SleepMs(settleMs);
            return true;
        }
        if (NowNs() > until)
            return false;
        SleepMs(20);
    }
}

TStationSettings OnCom1(const std::string& device, const TPtt& ptt) {
    TStationSettings settings;
    settings.port = "COM1";
    settings.ports = {{"COM1", device}};
    settings.rts = ptt.line == TPttLine::Rts;
    settings.inverted = ptt.inverted;
    return settings;
}

const THeardSound* SoundOf(const TKeyedSpan& span, const std::vector<THeardSound>& sounds) {
    constexpr std::int64_t kAfterNs = 250'000'000;
    for (const THeardSound& sound : sounds)
        if (sound.firstNs >= span.keyNs &&
            (span.unkeyNs == TKeyedSpan::kStillKeyed || sound.firstNs <= span.unkeyNs + kAfterNs))
            return &sound;
    return nullptr;
}

}  // namespace ziv::e2e
