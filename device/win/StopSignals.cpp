#include "device/StopSignals.h"

#include <QMutex>
#include <QMutexLocker>

#include <qt_windows.h>

#include <csignal>

const int StopSignals::HangUp = -1;

namespace {

// The console calls its handler on a thread of its own.
QMutex newestLock;
StopSignals *newest = nullptr;

BOOL WINAPI passOn(DWORD event)
{
    // Closing the console, logging off: Windows ends the process anyway.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    const QMutexLocker locked(&newestLock);
    if (!newest)
        return FALSE;
    StopSignals *receiver = newest;
    QMetaObject::invokeMethod(receiver, [receiver] { emit receiver->received(SIGINT); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    const QMutexLocker locked(&newestLock);
    earlier = newest;
    newest = this;
    if (!earlier)
        ::SetConsoleCtrlHandler(passOn, TRUE);
}

StopSignals::~StopSignals()
{
    const QMutexLocker locked(&newestLock);
    if (newest == this)
        newest = earlier;
    if (!newest)
        ::SetConsoleCtrlHandler(passOn, FALSE);
}

void StopSignals::takeSignals()
{
}
