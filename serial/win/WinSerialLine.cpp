#include "WinSerialLine.h"

#include "ComPort.h"

SerialLine *SerialLine::create(const QString &devicePath, QObject *parent)
{
    return new WinSerialLine(devicePath, parent);
}

WinSerialLine::WinSerialLine(const QString &devicePath, QObject *parent)
    : SerialLine(parent),
      path(devicePath),
      port(new ComPort(devicePath, this))
{
    connect(port, &ComPort::lost, this, &SerialLine::lost);
}

bool WinSerialLine::open()
{
    opened = port->open(QIODevice::ReadWrite);
    return opened;
}

bool WinSerialLine::configure(int baudRate)
{
    return port->configure(baudRate, QueueBytes);
}

PortFault WinSerialLine::fault(const QString &name) const
{
    const DWORD error = port->systemError();
    if (!opened) {
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return PortFault::missing(name, path);
        // A COM port is opened by one program at a time; Windows says
        // "access denied" to the next.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return PortFault::held(name, path);
        default:
            break;
        }
    } else {
        // It opened, but takes no line set-up: some other kind of device.
        switch (error) {
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_HANDLE:
            return PortFault::notSerial(name, path);
        default:
            break;
        }
    }
    return PortFault::other(name, path, qt_error_string(int(error)));
}

QIODevice *WinSerialLine::device() const
{
    return port;
}

qintptr WinSerialLine::handle() const
{
    return reinterpret_cast<qintptr>(port->handle());
}

qint64 WinSerialLine::driverQueue()
{
    return port->outputQueue();
}

void WinSerialLine::flush()
{
    port->startWriting();
}

void WinSerialLine::clearInput()
{
    port->discardInput();
}

void WinSerialLine::fetchReceived()
{
    port->fetchReceived();
}

bool WinSerialLine::isLost() const
{
    return port->isLost();
}
