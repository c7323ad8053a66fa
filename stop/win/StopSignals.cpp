#include "stop/StopSignals.h"

#include <QMutex>
#include <QMutexLocker>

#include <qt_windows.h>

#include <csignal>

const int StopSignals::HangUp = -1;
const int StopSignals::Closing = -2;

namespace {

// Windows ends the program 5 s after the console began to close.
constexpr DWORD CloseWaitMs = 4500;

// The console calls its handler on a thread of its own.
QMutex newestLock;
StopSignals *newest = nullptr;
HANDLE closeDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

bool tellNewest(int number)
{
    const QMutexLocker locked(&newestLock);
    if (!newest)
        return false;
    StopSignals *receiver = newest;
    QMetaObject::invokeMethod(receiver, [receiver, number] { emit receiver->received(number); },
                              Qt::QueuedConnection);
    return true;
}

BOOL WINAPI passOn(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return tellNewest(SIGINT);
    // Log-off and shut-down never come to a program that loads user32.
    if (event != CTRL_CLOSE_EVENT || !tellNewest(StopSignals::Closing))
        return FALSE;
    // Returning ends the program at once: give the event loop its time.
    ::WaitForSingleObject(closeDone, CloseWaitMs);
    return TRUE;
}

} // namespace

struct StopSignals::Hook
{
    // The one that had the console's Ctrl-C before this one.
    StopSignals *earlier = nullptr;
};

void StopSignals::closeHandled()
{
    ::SetEvent(closeDone);
}

StopSignals::StopSignals(QObject *parent)
    : QObject(parent),
      hook(std::make_unique<Hook>())
{
    const QMutexLocker locked(&newestLock);
    hook->earlier = newest;
    newest = this;
    if (!hook->earlier)
        ::SetConsoleCtrlHandler(passOn, TRUE);
}

StopSignals::~StopSignals()
{
    const QMutexLocker locked(&newestLock);
    if (newest == this)
        newest = hook->earlier;
    if (!newest)
        ::SetConsoleCtrlHandler(passOn, FALSE);
}
