#include "serial/Modem.h"

#include "serial/HangUpWatch.h"
#include "serial/PortNames.h"

#include <QDebug>
#include <QSerialPort>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

// A working line takes bytes continuously; one that takes none for this
// long is stuck (cable pulled, flow stopped) and the write gives up.
constexpr std::chrono::milliseconds WriteStallTimeout{1000};
const QString ClosedText = QStringLiteral("?");

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

} // namespace

Modem::Modem() = default;

Modem::~Modem()
{
    releasePort();
}

void Modem::setBaudRate(int rate)
{
    if (rate == 9600 || rate == 57600 || rate == 115200)
        baudRate = rate;
}

bool Modem::openPort(const QString &name)
{
    releasePort();
    lastError.clear();
    const QString path = PortNames::devicePath(name);
    if (path.isEmpty()) {
        lastError = QStringLiteral("%1: no such port").arg(name);
        emit setTtyText(ClosedText);
        return false;
    }
    portHandle = new QSerialPort(path, this);
    portHandle->setReadBufferSize(InputQueueBytes);
    if (!portHandle->open(QIODevice::ReadWrite)) {
        reportOpenFailure(path, portHandle->errorString());
        const bool missing = portHandle->error() == QSerialPort::DeviceNotFoundError;
        releasePort();
        if (missing)
            lastError = QStringLiteral("%1: no such device").arg(path);
        emit setTtyText(ClosedText);
        return false;
    }
    connect(portHandle, &QSerialPort::errorOccurred, this, &Modem::onPortError);
    connect(new HangUpWatch(portHandle), &HangUpWatch::lineLost, this, &Modem::dropLostPort,
            Qt::QueuedConnection);
    if (!configure(portHandle)) {
        // Half open: the caller's closePort releases it.
        lastError = QStringLiteral("%1: %2").arg(path, portHandle->errorString());
        emit setTtyText(ClosedText);
        return false;
    }
    emit setTtyText(name);
    return true;
}

bool Modem::configure(QSerialPort *port)
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

void Modem::reportOpenFailure(const QString &path, const QString &reason)
{
    lastError = QStringLiteral("%1: %2").arg(path, reason);
    if (portHandle->error() == QSerialPort::DeviceNotFoundError || reportedPaths.contains(path))
        return;
    reportedPaths.insert(path);
    qDebug().noquote() << QStringLiteral("Port %1 cannot be opened: %2").arg(path, reason);
}

bool Modem::closePort()
{
    releasePort();
    emit setTtyText(ClosedText);
    return true;
}

void Modem::releasePort()
{
    if (!portHandle)
        return;
    portHandle->close();
    // Later: this may run inside one of the port's own signals.
    portHandle->deleteLater();
    portHandle = nullptr;
}

void Modem::onPortError(QSerialPort::SerialPortError error)
{
    // A vanished device (adapter pulled, far end hung up) reports end of
    // file on every turn of the event loop; holding on to it would spin.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        QMetaObject::invokeMethod(this, &Modem::dropLostPort, Qt::QueuedConnection);
}

void Modem::dropLostPort()
{
    if (!portHandle)
        return;
    const auto error = portHandle->error();
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && !HangUpWatch::hungUp(portHandle))
        return;
    releasePort();
    emit setTtyText(ClosedText);
}

int Modem::readData(char *buffer, int maxLength)
{
    if (!portHandle || !portHandle->isOpen() || maxLength <= 0)
        return 0;
    // Bytes still in the driver reach the port's buffer only through the
    // event loop; a zero wait fetches them now, as a direct read would.
    if (portHandle->bytesAvailable() < maxLength && !portHandle->waitForReadyRead(0))
        portHandle->clearError();
    const qint64 count = portHandle->read(buffer, maxLength);
    return count < 0 ? 0 : int(count);
}

bool Modem::writeString(const char *text)
{
    return writeAll(text, qint64(qstrlen(text)));
}

bool Modem::writeByte(int value)
{
    const char byte = char(value & 0xFF);
    return writeAll(&byte, 1);
}

bool Modem::writeAll(const char *data, qint64 length)
{
    if (!portHandle || !portHandle->isOpen())
        return false;
    if (portHandle->write(data, length) != length)
        return false;
    while (portHandle->bytesToWrite() > 0) {
        if (!portHandle->waitForBytesWritten(int(WriteStallTimeout.count())))
            return false;
    }
    return true;
}

QSerialPort *Modem::device() const
{
    return portHandle && portHandle->isOpen() ? portHandle : nullptr;
}
