#include "HangUpWatch.h"

#include <QEvent>
#include <QSerialPort>
#include <QSocketNotifier>

#include <poll.h>

HangUpWatch::HangUpWatch(QSerialPort *port)
    : QObject(port),
      port(port)
{
    // The port reads through a notifier of its own; every activation of
    // it passes here first, so a hang-up is seen on the turn it happens.
    for (QSocketNotifier *notifier : port->findChildren<QSocketNotifier *>())
        if (notifier->type() == QSocketNotifier::Read)
            notifier->installEventFilter(this);
}

bool HangUpWatch::hungUp(const QSerialPort *port)
{
    if (!port || !port->isOpen())
        return false;
    pollfd descriptor {int(port->handle()), POLLIN, 0};
    return ::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & (POLLHUP | POLLNVAL)) != 0;
}

bool HangUpWatch::isLost(const QSerialPort *port)
{
    if (!port)
        return false;
    return hungUp(port) || port->error() == QSerialPort::ReadError;
}

bool HangUpWatch::eventFilter(QObject *watched, QEvent *event)
{
    // The port still reads what arrived before the hang-up; the owner
    // drops it on the next turn, before the end of file can spin.
    if (event->type() == QEvent::SockAct && !reported && hungUp(port)) {
        reported = true;
        emit lineLost();
    }
    return QObject::eventFilter(watched, event);
}
