#pragma once

#include "device/FlashOutcome.h"
#include "image/FirmwareImage.h"
#include "serial/SendWait.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class QIODevice;

// Writes a firmware image into the instrument's flash: the start command,
// then per block a reply byte (only 0x6B releases the block), two address
// bytes and 64 data bytes, and after the last block the end marker
// 0xFF 0xFF. Runs on the event loop; every wait is bounded.
class FlashWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *StartCommand = "@g#####;";
    static constexpr char BlockReady = 0x6B;
    static constexpr int BlockSize = 64;
    // The instrument erases its flash before the first reply.
    static constexpr std::chrono::milliseconds FirstReplyTimeout{15000};
    // Writing one block into flash takes milliseconds; this is generous.
    static constexpr std::chrono::milliseconds BlockReplyTimeout{3000};
    // Until the last block and the end marker have left the host.
    static constexpr std::chrono::milliseconds SendTimeout = SendWait::Limit;

    using Failure = FlashOutcome::Failure;

    explicit FlashWriter(QObject *parent = nullptr);

    // Returns false, without touching the line, when the write cannot
    // begin; otherwise the outcome comes with finished().
    bool start(QIODevice *device, const FirmwareImage &image, qint32 imageLength);
    bool isRunning() const { return state != State::Idle; }
    // For fakes that answer in microseconds; the defaults suit the instrument.
    void setReplyTimeouts(std::chrono::milliseconds first, std::chrono::milliseconds perBlock);
    void setSendTimeout(std::chrono::milliseconds timeout) { sendTimeout = timeout; }
    // Stops a running write at once, as a failure of its own.
    void interrupt();

    int blockTotal() const { return totalForDisplay; }
    int replyCount() const { return replies; }
    // The blocks the instrument has released, each with one 0x6B.
    int blocksSent() const { return sent; }
    FlashOutcome outcome() const { return lastOutcome; }
    Failure failure() const { return lastOutcome.failure(); }
    // In the user's language, with the block the write stopped at; empty after success.
    QString errorString() const { return lastOutcome.isWritten() ? QString() : lastOutcome.text(); }

    static int blockTotalFor(qint32 imageLength);

signals:
    // After every block the instrument released.
    void blockReleased(int blocksReleased, int blockTotal);
    void finished(bool written);

private:
    enum class State { Idle, AwaitingReply, Sending, Ending };

    bool refuse(Failure failure);
    void attach(QIODevice *device);
    void detach();
    void takeReplies();
    void handleReply(char reply);
    void sendNextBlock();
    void awaitReply(std::chrono::milliseconds timeout);
    void awaitSent();
    void onSent(bool sent);
    void onTimeout();
    void onLineError();
    void fail(Failure failure);
    void succeed();
    void announce(bool written);
    FlashOutcome failedAt(Failure failure, bool begun) const;

    QPointer<QIODevice> line;
    QByteArray data;
    int blockCount = 0;
    int totalForDisplay = 0;
    int replies = 0;
    int sent = 0;
    State state = State::Idle;
    FlashOutcome lastOutcome;
    std::chrono::milliseconds firstReplyTimeout = FirstReplyTimeout;
    std::chrono::milliseconds blockReplyTimeout = BlockReplyTimeout;
    std::chrono::milliseconds sendTimeout = SendTimeout;
    QTimer deadline;
    // What deadline still has to wait once it fires: the limit moved on.
    std::chrono::milliseconds deadlineExtension {0};
    SendWait sendWait;
    QList<QMetaObject::Connection> connections;
};
