#include "serial/SendWait.h"

#include <QSerialPort>

#if defined(Q_OS_UNIX)
#include <sys/ioctl.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

// The driver says nothing when its queue empties; asking this often costs
// nothing next to the time the bytes take on the line.
constexpr std::chrono::milliseconds PollInterval {1};

qint64 driverQueue(QSerialPort *port)
{
#if defined(Q_OS_UNIX)
    int queued = 0;
    // A pseudo-terminal always answers 0.
    if (::ioctl(int(port->handle()), TIOCOUTQ, &queued) == 0)
        return queued;
#elif defined(Q_OS_WIN)
    COMSTAT status {};
    DWORD errors = 0;
    if (::ClearCommError(port->handle(), &errors, &status))
        return qint64(status.cbOutQue);
#else
    Q_UNUSED(port);
#endif
    return 0;
}

} // namespace

SendWait::SendWait(QObject *parent)
    : QObject(parent)
{
    poll.setSingleShot(true);
    poll.setTimerType(Qt::PreciseTimer);
    connect(&poll, &QTimer::timeout, this, &SendWait::check);
    limitTimer.setSingleShot(true);
    limitTimer.setTimerType(Qt::PreciseTimer);
    connect(&limitTimer, &QTimer::timeout, this, &SendWait::giveUp);
}

qint64 SendWait::unsentBytes(QIODevice *line)
{
    if (!line || !line->isOpen())
        return 0;
    qint64 unsent = line->bytesToWrite();
    if (auto *port = qobject_cast<QSerialPort *>(line))
        unsent += driverQueue(port);
    return unsent;
}

void SendWait::start(QIODevice *device, std::chrono::milliseconds limit)
{
    stop();
    line = device;
    limitTimer.start(limit);
    if (device)
        written = connect(device, &QIODevice::bytesWritten, this, &SendWait::check);
    // Hand the port's buffer to the driver now, not on a later turn.
    if (auto *port = qobject_cast<QSerialPort *>(device))
        port->flush();
    check();
}

void SendWait::stop()
{
    disconnect(written);
    poll.stop();
    limitTimer.stop();
    line = nullptr;
}

void SendWait::check()
{
    if (!line || !line->isOpen()) {
        end(false);
        return;
    }
    if (unsentBytes(line) == 0) {
        end(true);
        return;
    }
    // Other lines say when they have written; a port's driver does not.
    auto *port = qobject_cast<QSerialPort *>(line.data());
    if (!port)
        return;
    // Qt gives up on a write the driver refused for now; try again.
    if (port->bytesToWrite() > 0)
        port->flush();
    poll.start(PollInterval);
}

void SendWait::giveUp()
{
    end(line && line->isOpen() && unsentBytes(line) == 0);
}

void SendWait::end(bool sent)
{
    stop();
    emit finished(sent);
}
