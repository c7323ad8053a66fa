#include "serial/Modem.h"

#include "serial/HangUpWatch.h"
#include "serial/PortNames.h"

#include <QSerialPort>

#include <algorithm>

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

bool Modem::isBaudRate(int rate)
{
    return std::find(BaudRates.begin(), BaudRates.end(), rate) != BaudRates.end();
}

void Modem::setBaudRate(int rate)
{
    if (isBaudRate(rate))
        baudRate = rate;
}

bool Modem::openPort(const QString &name)
{
    releasePort();
    lastFault = {};
    const QString path = PortNames::devicePath(name);
    if (path.isEmpty()) {
        lastFault = PortFault::unknownName(name);
        emit setTtyText(ClosedText);
        return false;
    }
    // Before the port is opened: opening it already sets its line up.
    if (!deviceLock.take(DeviceId::of(path))) {
        lastFault = PortFault::held(name, path);
        reportFault(path);
        emit setTtyText(ClosedText);
        return false;
    }
    portHandle = new QSerialPort(path, this);
    portHandle->setReadBufferSize(InputQueueBytes);
    if (!portHandle->open(QIODevice::ReadWrite)) {
        reportOpenFailure(name, path);
        releasePort();
        emit setTtyText(ClosedText);
        return false;
    }
    connect(portHandle, &QSerialPort::errorOccurred, this, &Modem::onPortError);
    connect(new HangUpWatch(portHandle), &HangUpWatch::lineLost, this, &Modem::dropLostPort,
            Qt::QueuedConnection);
    if (!configure(portHandle)) {
        // Half open: the caller's closePort releases it.
        reportOpenFailure(name, path);
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

void Modem::reportOpenFailure(const QString &name, const QString &path)
{
    lastFault = PortFault::diagnose(name, path, portHandle->error(), portHandle->errorString());
    reportFault(path);
}

void Modem::reportFault(const QString &path)
{
    if (lastFault.kind() == PortFault::Kind::Missing)
        return;
    const QString key = QStringLiteral("%1|%2").arg(path).arg(int(lastFault.kind()));
    if (reportedFaults.contains(key))
        return;
    reportedFaults.insert(key);
    emit portFailed(lastFault.text());
}

bool Modem::closePort()
{
    releasePort();
    emit setTtyText(ClosedText);
    return true;
}

void Modem::releasePort()
{
    if (portHandle) {
        portHandle->close();
        // Later: this may run inside one of the port's own signals.
        portHandle->deleteLater();
        portHandle = nullptr;
    }
    deviceLock.release();
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
    if (!HangUpWatch::isLost(portHandle))
        return;
    releasePort();
    emit setTtyText(ClosedText);
    emit lineLost();
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
