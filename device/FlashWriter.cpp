#include "device/FlashWriter.h"

#include <QIODevice>
#include <QSerialPort>

namespace {

constexpr char EndMarker[] = {char(0xFF), char(0xFF)};

QByteArray lowBytes(const FirmwareImage &image, int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char(image[size_t(i)] & 0xFF);
    return bytes;
}

} // namespace

FlashWriter::FlashWriter(QObject *parent)
    : QObject(parent)
{
    deadline.setSingleShot(true);
    // A coarse timer may fire early; a time-out is a promise to the instrument.
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, this, &FlashWriter::onTimeout);
}

void FlashWriter::setReplyTimeouts(std::chrono::milliseconds first, std::chrono::milliseconds perBlock)
{
    firstReplyTimeout = first;
    blockReplyTimeout = perBlock;
}

int FlashWriter::blockTotalFor(qint32 imageLength)
{
    return imageLength / BlockSize + 1;
}

bool FlashWriter::start(QIODevice *device, const FirmwareImage &image, qint32 imageLength)
{
    if (isRunning())
        return false;
    replies = 0;
    sent = 0;
    totalForDisplay = blockTotalFor(imageLength);
    blockCount = imageLength < 0 ? 0 : totalForDisplay;
    if (!device || !device->isOpen())
        return refuse(Failure::NotConnected, tr("Keine Verbindung zur HW, Flash nicht beschrieben"));
    // Never a cell from beyond the image, whatever the length says.
    if (qint64(blockCount) * BlockSize > FirmwareCellCount)
        return refuse(Failure::ImageTooLarge, tr("HEX-Datei zu gross, Flash nicht beschrieben"));

    data = lowBytes(image, blockCount * BlockSize);
    // Stale input goes before the start command: a quick instrument may
    // answer it at once, and that first reply must not be thrown away.
    if (auto *port = qobject_cast<QSerialPort *>(device))
        port->clear(QSerialPort::Input);
    device->readAll();
    if (device->write(StartCommand) != qint64(qstrlen(StartCommand)))
        return refuse(Failure::LineError, tr("Schreibfehler an der HW, Flash nicht beschrieben"));
    // Without blocks the end marker follows at once; a lost one is no success.
    if (blockCount == 0 && device->write(EndMarker, sizeof EndMarker) != qint64(sizeof EndMarker))
        return refuse(Failure::LineError, tr("Schreibfehler an der HW, Flash nicht beschrieben"));

    lastFailure = Failure::None;
    lastError.clear();
    attach(device);
    if (blockCount == 0) {
        state = State::Sending;
        deadline.start(SendTimeout);
        QMetaObject::invokeMethod(this, &FlashWriter::checkSent, Qt::QueuedConnection);
        return true;
    }
    state = State::AwaitingReply;
    deadline.start(firstReplyTimeout);
    return true;
}

bool FlashWriter::refuse(Failure failure, const QString &text)
{
    lastFailure = failure;
    lastError = text;
    return false;
}

void FlashWriter::attach(QIODevice *device)
{
    line = device;
    connections << connect(device, &QIODevice::readyRead, this, &FlashWriter::takeReplies)
                << connect(device, &QIODevice::bytesWritten, this, &FlashWriter::checkSent)
                << connect(device, &QIODevice::aboutToClose, this,
                           [this] { onLineError(); });
    if (auto *port = qobject_cast<QSerialPort *>(device)) {
        connections << connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
            // A zero-time poll elsewhere reports a time-out; that is no fault of the line.
            if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
                onLineError();
        });
    } else {
        connections << connect(device, &QIODevice::readChannelFinished, this, [this] { onLineError(); });
    }
}

void FlashWriter::detach()
{
    for (const auto &connection : std::as_const(connections))
        disconnect(connection);
    connections.clear();
    deadline.stop();
    // Still running until finished() is out, so no second write slips in.
    state = State::Ending;
}

void FlashWriter::takeReplies()
{
    char reply;
    while (state == State::AwaitingReply && line && line->getChar(&reply))
        handleReply(reply);
}

void FlashWriter::handleReply(char reply)
{
    ++replies;
    emit replyReceived(replies, totalForDisplay);
    // Anything else releases nothing, and does not extend the wait either,
    // so a chattering line still ends.
    if (reply == BlockReady && state == State::AwaitingReply)
        sendNextBlock();
}

void FlashWriter::sendNextBlock()
{
    const int address = sent * BlockSize;
    QByteArray block;
    block.reserve(2 + BlockSize + int(sizeof EndMarker));
    block.append(char(address & 0xFF)).append(char((address / 256) & 0xFF));
    block.append(data.constData() + address, BlockSize);
    ++sent;
    const bool last = sent == blockCount;
    if (last)
        block.append(EndMarker, sizeof EndMarker);
    // One write per block: per-byte writes cost a USB round trip each.
    if (line->write(block) != block.size()) {
        onLineError();
        return;
    }
    if (last) {
        state = State::Sending;
        deadline.start(SendTimeout);
        checkSent();
    } else {
        deadline.start(blockReplyTimeout);
    }
}

void FlashWriter::checkSent()
{
    if (state == State::Sending && line && line->bytesToWrite() == 0)
        succeed();
}

void FlashWriter::onTimeout()
{
    if (state == State::AwaitingReply)
        fail(Failure::NoReply, atBlock(tr("Keine Antwort von der HW")));
    else if (state == State::Sending)
        fail(Failure::LineError, atBlock(tr("HW nimmt keine Daten an")));
}

void FlashWriter::onLineError()
{
    if (state == State::AwaitingReply || state == State::Sending)
        fail(Failure::LineError, atBlock(tr("Verbindung zur HW unterbrochen")));
}

QString FlashWriter::atBlock(const QString &what) const
{
    const int block = qMin(sent + 1, qMax(blockCount, 1));
    return tr("%1, Abbruch bei Block %2 / %3").arg(what).arg(block).arg(totalForDisplay);
}

void FlashWriter::fail(Failure failure, const QString &text)
{
    detach();
    lastFailure = failure;
    lastError = text;
    announce(false);
}

void FlashWriter::succeed()
{
    detach();
    announce(true);
}

void FlashWriter::announce(bool written)
{
    // Queued: a listener may close the port, which must not happen inside
    // one of the port's own signals.
    QMetaObject::invokeMethod(this, [this, written] {
        state = State::Idle;
        emit finished(written);
    }, Qt::QueuedConnection);
}
