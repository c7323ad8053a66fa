#include "device/StopSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int pipeEnds[2] = {-1, -1};
constexpr int Caught[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const auto written = ::write(pipeEnds[0], &byte, 1);
    errno = saved;
}

void setDisposition(int number, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}
#endif

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (pipeEnds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0)
        return;
    notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::readPending);
    for (int number : Caught)
        setDisposition(number, onSignal);
    setDisposition(SIGPIPE, SIG_IGN);
#endif
}

StopSignals::~StopSignals()
{
#ifdef Q_OS_UNIX
    for (int number : Caught)
        setDisposition(number, SIG_DFL);
    setDisposition(SIGPIPE, SIG_DFL);
#endif
}

void StopSignals::readPending()
{
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    while (::read(pipeEnds[1], &byte, 1) == 1)
        emit received(int(byte));
#endif
}
