#include "stop/StopSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

const int StopSignals::HangUp = SIGHUP;
const int StopSignals::Closing = -2; // Windows only

// Windows only: a terminal closing ends nothing here.
void StopSignals::closeHandled()
{
}

struct StopSignals::Hook
{
    int readEnd = -1;
    int writeEnd = -1;
    int earlierWriteEnd = -1;
};

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
    : QObject(parent),
      hook(std::make_unique<Hook>())
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    hook->readEnd = ends[0];
    hook->writeEnd = ends[1];
    auto *notifier = new QSocketNotifier(hook->readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(hook->readEnd, &byte, 1) == 1)
            emit received(byte);
    });
    hook->earlierWriteEnd = currentWriteEnd;
    currentWriteEnd = hook->writeEnd;
    for (int number : StopSignalNumbers)
        setDisposition(number, passOn);
    setDisposition(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals()
{
    if (hook->readEnd < 0)
        return;
    currentWriteEnd = hook->earlierWriteEnd;
    if (hook->earlierWriteEnd < 0) {
        for (int number : StopSignalNumbers)
            setDisposition(number, SIG_DFL);
        setDisposition(SIGPIPE, SIG_DFL);
    }
    ::close(hook->readEnd);
    ::close(hook->writeEnd);
}
