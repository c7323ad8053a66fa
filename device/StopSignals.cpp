#include "device/StopSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

const int StopSignals::HangUp = SIGHUP;
const int StopSignals::Closing = -2; // Windows only

void StopSignals::closeHandled()
{
}

namespace {

constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};

// The pipe of the newest instance; all a handler may touch.
volatile std::sig_atomic_t currentWriteEnd = -1;

extern "C" void passOn(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (currentWriteEnd >= 0 && ::write(currentWriteEnd, &byte, 1) < 0) {
        // a full pipe already holds a stop request
    }
    errno = savedErrno;
}

void setDisposition(int signalNumber, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::takeSignals);
    earlierWriteEnd = currentWriteEnd;
    currentWriteEnd = writeEnd;
    for (int number : StopSignalNumbers)
        setDisposition(number, passOn);
    setDisposition(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals()
{
    if (readEnd < 0)
        return;
    currentWriteEnd = earlierWriteEnd;
    if (earlierWriteEnd < 0) {
        for (int number : StopSignalNumbers)
            setDisposition(number, SIG_DFL);
        setDisposition(SIGPIPE, SIG_DFL);
    }
    ::close(readEnd);
    ::close(writeEnd);
}

void StopSignals::takeSignals()
{
    unsigned char byte = 0;
    while (::read(readEnd, &byte, 1) == 1)
        emit received(byte);
}
