// Stop signals through a self-pipe: the handler only writes the signal's number, which the event
// loop reads and turns into StopRequested.
#include "StopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace quintar {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent)
{
    if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // one instance per process
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    notifier_ = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char received[16];
        ssize_t n;
        while ((n = ::read(g_signalPipe[0], received, sizeof received)) > 0)
            for (ssize_t i = 0; i < n; ++i)
                emit StopRequested(received[i]);
    });
}

StopSignals::~StopSignals()
{
    if (!notifier_)
        return;
    notifier_.reset();
    for (int signal : kStopSignals)
        ::signal(signal, SIG_DFL);
    for (int& fd : g_signalPipe) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace quintar
