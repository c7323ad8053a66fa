#include "serial/SendWait.h"

#include "serial/SerialLine.h"

#include <QIODevice>

namespace {

// The driver says nothing when its queue empties; asking this often costs
// nothing next to the time the bytes take on the line.
constexpr std::chrono::milliseconds PollInterval {1};

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
    SerialLine *serial = SerialLine::of(line);
    const qint64 queued = serial ? serial->driverQueue() : 0;
    return queued < 0 ? -1 : line->bytesToWrite() + queued;
}

void SendWait::start(QIODevice *device, std::chrono::milliseconds limit)
{
    stop();
    line = device;
    limitTimer.start(limit);
    // Hand the port's buffer to the driver now, not on a later turn.
    if (SerialLine *serial = SerialLine::of(device))
        serial->flush();
    if (device)
        written = connect(device, &QIODevice::bytesWritten, this, &SendWait::check);
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
    SerialLine *serial = SerialLine::of(line);
    if (!serial)
        return;
    // Qt gives up on a write the driver refused for now; try again.
    if (line->bytesToWrite() > 0)
        serial->flush();
    // The flush may have said "written" to a check of its own, which ended.
    if (line)
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
