#include "serial/Modem.h"

#include "serial/PortNames.h"

#include <QIODevice>

#include <algorithm>

namespace {

// A working line takes bytes continuously; one that takes none for this
// long is stuck (cable pulled, flow stopped) and the write gives up.
constexpr std::chrono::milliseconds WriteStallTimeout{1000};
const QString ClosedText = QStringLiteral("?");

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
    return openPort(name, PortNames::devicePath(name));
}

bool Modem::openPort(const QString &name, const QString &path)
{
    releasePort();
    lastFault = {};
    if (path.isEmpty()) {
        lastFault = PortFault::unknownName(name);
        emit setTtyText(ClosedText);
        return false;
    }
    // Before the port is opened: opening it already sets its line up.
    lastFault = deviceLock.take(name, path);
    if (lastFault.kind() != PortFault::Kind::None) {
        reportFault(path);
        emit setTtyText(ClosedText);
        return false;
    }
    line = SerialLine::create(path, this);
    openedPath = path;
    if (!line->open()) {
        reportOpenFailure(name, path);
        releasePort();
        emit setTtyText(ClosedText);
        return false;
    }
    // Queued: the line may tell from inside one of its device's signals.
    connect(line, &SerialLine::lost, this, &Modem::dropLostPort, Qt::QueuedConnection);
    if (!line->configure(baudRate)) {
        // Half open: the caller's closePort releases it.
        reportOpenFailure(name, path);
        emit setTtyText(ClosedText);
        return false;
    }
    emit setTtyText(name);
    return true;
}

void Modem::reportOpenFailure(const QString &name, const QString &path)
{
    lastFault = line->fault(name);
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
    if (line) {
        line->device()->close();
        // Later: this may run inside one of the port's own signals.
        line->deleteLater();
        line = nullptr;
    }
    deviceLock.release();
}

// A vanished device (adapter pulled, far end hung up) may report end of
// file on every turn of the event loop; holding on to it would spin.
void Modem::dropLostPort()
{
    if (!line || !line->isLost())
        return;
    releasePort();
    emit setTtyText(ClosedText);
    emit lineLost();
}

int Modem::readData(char *buffer, int maxLength)
{
    QIODevice *port = device();
    if (!port || maxLength <= 0)
        return 0;
    if (port->bytesAvailable() < maxLength)
        line->fetchReceived();
    const qint64 count = port->read(buffer, maxLength);
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
    QIODevice *port = device();
    if (!port)
        return false;
    if (port->write(data, length) != length)
        return false;
    while (port->bytesToWrite() > 0) {
        if (!port->waitForBytesWritten(int(WriteStallTimeout.count())))
            return false;
    }
    return true;
}

QIODevice *Modem::device() const
{
    return line && line->device()->isOpen() ? line->device() : nullptr;
}
