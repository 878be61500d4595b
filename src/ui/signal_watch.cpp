#include "ui/signal_watch.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace ziv {

namespace {

// [0] is written by the handler, [1] read by the notifier.
int g_pipe[2] = {-1, -1};

extern "C" void WriteSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing else is safe here; a full socket only drops a repeat.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}

}  // namespace

TSignalWatch::TSignalWatch(std::initializer_list<int> signalNumbers,
                           std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)), signals_(signalNumbers) {
    if (g_pipe[0] != -1)
        return;  // another watch is active
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    ::fcntl(g_pipe[0], F_SETFL, ::fcntl(g_pipe[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_pipe[1], F_SETFL, ::fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Readable(); });

    ok_ = true;
    for (const int s : signals_) {
        struct sigaction action {};
        action.sa_handler = WriteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(s, &action, nullptr) != 0)
            ok_ = false;
    }
}

TSignalWatch::~TSignalWatch() {
    if (!notifier_)
        return;
    for (const int s : signals_) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(s, &action, nullptr);
    }
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TSignalWatch::Readable() {
    unsigned char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1) {
        if (onSignal_)
            onSignal_(byte);
    }
}

}  // namespace ziv
