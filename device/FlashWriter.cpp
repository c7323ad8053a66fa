#include "device/FlashWriter.h"

#include "serial/SerialLine.h"

#include <QIODevice>

namespace {

constexpr char EndMarker[] = {char(0xFF), char(0xFF)};

} // namespace

FlashWriter::FlashWriter(QObject *parent)
    : QObject(parent)
{
    deadline.setSingleShot(true);
    // A coarse timer may fire early; a time-out is a promise to the instrument.
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, this, &FlashWriter::onTimeout);
    connect(&sendWait, &SendWait::finished, this, &FlashWriter::onSent);
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
        return refuse(Failure::NotConnected);
    // Never a cell from beyond the image, whatever the length says.
    if (qint64(blockCount) * BlockSize > FirmwareCellCount)
        return refuse(Failure::ImageTooLarge);

    data = firmwareBytes(image, blockCount * BlockSize);
    // Stale input goes before the start command: a quick instrument may
    // answer it at once, and that first reply must not be thrown away.
    if (SerialLine *serial = SerialLine::of(device))
        serial->clearInput();
    device->readAll();
    if (device->write(StartCommand) != qint64(qstrlen(StartCommand)))
        return refuse(Failure::WriteError);
    // Without blocks the end marker follows at once; a lost one is no success.
    if (blockCount == 0 && device->write(EndMarker, sizeof EndMarker) != qint64(sizeof EndMarker))
        return refuse(Failure::WriteError);

    lastOutcome = {};
    attach(device);
    if (blockCount == 0) {
        QMetaObject::invokeMethod(this, &FlashWriter::awaitSent, Qt::QueuedConnection);
        state = State::Sending;
        return true;
    }
    state = State::AwaitingReply;
    awaitReply(firstReplyTimeout);
    return true;
}

bool FlashWriter::refuse(Failure failure)
{
    lastOutcome = failedAt(failure, false);
    return false;
}

void FlashWriter::interrupt()
{
    if (state == State::AwaitingReply || state == State::Sending)
        fail(Failure::Interrupted);
}

void FlashWriter::attach(QIODevice *device)
{
    line = device;
    connections << connect(device, &QIODevice::readyRead, this, &FlashWriter::takeReplies)
                << connect(device, &QIODevice::aboutToClose, this,
                           [this] { onLineError(); });
    if (SerialLine *serial = SerialLine::of(device)) {
        // A line that takes no bytes for now is the send wait's matter.
        connections << connect(serial, &SerialLine::lost, this, &FlashWriter::onLineError);
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
    deadlineExtension = std::chrono::milliseconds::zero();
    sendWait.stop();
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
    // Anything else releases nothing, and does not extend the wait either,
    // so a chattering line still ends.
    if (reply != BlockReady || state != State::AwaitingReply)
        return;
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
    // One write per block: per-byte writes cost a USB round trip each. Into
    // the driver now, before anything else on this turn (a repaint).
    SerialLine *serial = SerialLine::of(line);
    if (!(serial ? serial->send(block) : line->write(block) == block.size())) {
        fail(Failure::WriteError);
        return;
    }
    emit blockReleased(sent, totalForDisplay);
    if (state != State::AwaitingReply)
        return; // a listener stopped the write
    if (last) {
        state = State::Sending;
        awaitSent();
        return;
    }
    awaitReply(blockReplyTimeout);
}

// The reply is due within timeout from now. A running timer that would fire
// sooner is left alone and, when it fires, waits the rest: restarting a
// precise timer for every block costs a thread each time under Wine.
void FlashWriter::awaitReply(std::chrono::milliseconds timeout)
{
    const std::chrono::milliseconds remaining(deadline.remainingTime());
    if (!deadline.isActive() || remaining > timeout) {
        deadline.start(timeout);
        deadlineExtension = std::chrono::milliseconds::zero();
        return;
    }
    deadlineExtension = timeout - remaining;
}

void FlashWriter::awaitSent()
{
    if (state == State::Sending)
        sendWait.start(line, sendTimeout);
}

void FlashWriter::onSent(bool allSent)
{
    if (state != State::Sending)
        return;
    if (allSent)
        succeed();
    else
        fail(line && line->isOpen() ? Failure::SendTimeout : Failure::LineError);
}

void FlashWriter::onTimeout()
{
    if (state != State::AwaitingReply)
        return;
    if (deadlineExtension > std::chrono::milliseconds::zero()) {
        deadline.start(deadlineExtension);
        deadlineExtension = std::chrono::milliseconds::zero();
        return;
    }
    fail(Failure::NoReply);
}

void FlashWriter::onLineError()
{
    if (state == State::AwaitingReply || state == State::Sending)
        fail(Failure::LineError);
}

FlashOutcome FlashWriter::failedAt(Failure failure, bool begun) const
{
    const int block = qMin(sent + 1, qMax(blockCount, 1));
    return FlashOutcome(failure, begun, block, totalForDisplay);
}

void FlashWriter::fail(Failure failure)
{
    detach();
    lastOutcome = failedAt(failure, true);
    announce(false);
}

void FlashWriter::succeed()
{
    detach();
    lastOutcome = FlashOutcome(Failure::None, true, sent, totalForDisplay);
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
