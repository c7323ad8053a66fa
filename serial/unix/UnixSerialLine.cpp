#include "UnixSerialLine.h"

#include "HangUpWatch.h"
#include "SerialLockFile.h"

#include <QFile>
#include <QSerialPort>

#include <cerrno>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace {

// USB adapters hold received bytes back for up to 16 ms unless asked not
// to; the flash write waits for a one-byte reply per block. Ports that do
// not know the flag (a pseudo-terminal) are fine as they are.
void requestLowLatency(QSerialPort *port)
{
#ifdef Q_OS_LINUX
    serial_struct settings {};
    const int fd = int(port->handle());
    if (::ioctl(fd, TIOCGSERIAL, &settings) == 0) {
        settings.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &settings);
    }
#else
    Q_UNUSED(port);
#endif
}

// QSerialPort says "permission" both for a device the user may not open
// and for one whose lock another program holds; only the first is about
// rights.
bool mayOpen(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

// A file, a folder or a device that is no terminal (/dev/null); the error
// code QSerialPort gives for these differs, the system's reason does not.
bool isNoSerialDevice(const QString &path, const QString &reason)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISCHR(status.st_mode))
        return true;
    return reason == qt_error_string(ENOTTY);
}

} // namespace

SerialLine *SerialLine::create(const QString &devicePath, QObject *parent)
{
    return new UnixSerialLine(devicePath, parent);
}

UnixSerialLine::UnixSerialLine(const QString &devicePath, QObject *parent)
    : SerialLine(parent),
      path(devicePath),
      port(new QSerialPort(devicePath, this))
{
    port->setReadBufferSize(QueueBytes);
}

bool UnixSerialLine::open()
{
    if (!port->open(QIODevice::ReadWrite))
        return false;
    connect(port, &QSerialPort::errorOccurred, this, &UnixSerialLine::onPortError);
    // Queued: the port still reads what arrived before the hang-up.
    connect(new HangUpWatch(port), &HangUpWatch::lineLost, this, &SerialLine::lost, Qt::QueuedConnection);
    return true;
}

bool UnixSerialLine::configure(int baudRate)
{
    const bool lineSet = port->setBaudRate(baudRate) && port->setDataBits(QSerialPort::Data8)
            && port->setParity(QSerialPort::NoParity) && port->setStopBits(QSerialPort::OneStop)
            && port->setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet)
        return false;
    // A pseudo-terminal has no modem lines; that must not stop the open.
    port->setDataTerminalReady(true);
    port->setRequestToSend(true);
    port->clearError();
    requestLowLatency(port);
    return true;
}

PortFault UnixSerialLine::fault(const QString &name) const
{
    switch (port->error()) {
    case QSerialPort::DeviceNotFoundError:
        return PortFault::missing(name, path);
    case QSerialPort::PermissionError:
        return mayOpen(path) ? PortFault::held(name, path, SerialLockFile(path).holder())
                             : PortFault::noAccess(name, path);
    default:
        break;
    }
    if (isNoSerialDevice(path, port->errorString()))
        return PortFault::notSerial(name, path);
    return PortFault::other(name, path, port->errorString());
}

QIODevice *UnixSerialLine::device() const
{
    return port;
}

qintptr UnixSerialLine::handle() const
{
    return port->handle();
}

qint64 UnixSerialLine::driverQueue()
{
    int queued = 0;
    // A pseudo-terminal always answers 0.
    if (port->isOpen() && ::ioctl(int(port->handle()), TIOCOUTQ, &queued) == 0)
        return queued;
    return 0;
}

void UnixSerialLine::flush()
{
    // Once all is out, a second call ends the port's write at once: else it
    // wakes the event loop one more time just to say so, for every block.
    if (port->flush() && port->bytesToWrite() == 0)
        port->flush();
}

bool UnixSerialLine::send(const QByteArray &bytes)
{
    // Straight to the driver while the port holds nothing back: through the
    // port, every block would switch its write notifier on and off, and wake
    // the event loop for each.
    qint64 taken = 0;
    if (port->bytesToWrite() == 0)
        taken = qMax<qint64>(0, ::write(int(port->handle()), bytes.constData(), size_t(bytes.size())));
    if (taken == bytes.size())
        return true;
    // The rest, and any error, the port's own way.
    const qint64 rest = bytes.size() - taken;
    if (port->write(bytes.constData() + taken, rest) != rest)
        return false;
    flush();
    return true;
}

void UnixSerialLine::clearInput()
{
    port->clear(QSerialPort::Input);
}

void UnixSerialLine::fetchReceived()
{
    // Bytes still in the driver reach the port's buffer only through the
    // event loop; a zero wait fetches them now, as a direct read would.
    if (!port->waitForReadyRead(0))
        port->clearError();
}

bool UnixSerialLine::isLost() const
{
    return HangUpWatch::isLost(port);
}

void UnixSerialLine::onPortError()
{
    // A line that merely takes no bytes for now reports a resource error
    // too; only a vanished device is news.
    if (isLost()) {
        emit lost();
        return;
    }
    // A vanished device (adapter pulled, far end hung up) reports end of
    // file on every turn of the event loop; the poll may tell only on the next.
    const auto error = port->error();
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        QMetaObject::invokeMethod(this, [this] {
            if (isLost())
                emit lost();
        }, Qt::QueuedConnection);
}
