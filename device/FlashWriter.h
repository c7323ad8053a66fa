#pragma once

#include "image/FirmwareImage.h"

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
    static constexpr std::chrono::milliseconds SendTimeout{5000};

    enum class Failure { None, NotConnected, ImageTooLarge, NoReply, LineError };
    Q_ENUM(Failure)

    explicit FlashWriter(QObject *parent = nullptr);

    // Returns false, without touching the line, when the write cannot
    // begin; otherwise the outcome comes with finished().
    bool start(QIODevice *device, const FirmwareImage &image, qint32 imageLength);
    bool isRunning() const { return state != State::Idle; }
    // For fakes that answer in microseconds; the defaults suit the instrument.
    void setReplyTimeouts(std::chrono::milliseconds first, std::chrono::milliseconds perBlock);

    int blockTotal() const { return totalForDisplay; }
    int replyCount() const { return replies; }
    int blocksSent() const { return sent; }
    Failure failure() const { return lastFailure; }
    // German, with the block the write stopped at.
    QString errorString() const { return lastError; }

    static int blockTotalFor(qint32 imageLength);

signals:
    // After every reply byte, whatever its value.
    void replyReceived(int replyCount, int blockTotal);
    void finished(bool written);

private:
    enum class State { Idle, AwaitingReply, Sending, Ending };

    bool refuse(Failure failure, const QString &text);
    void attach(QIODevice *device);
    void detach();
    void takeReplies();
    void handleReply(char reply);
    void sendNextBlock();
    void checkSent();
    void onTimeout();
    void onLineError();
    void fail(Failure failure, const QString &text);
    void succeed();
    void announce(bool written);
    QString atBlock(const QString &what) const;

    QPointer<QIODevice> line;
    QByteArray data;
    int blockCount = 0;
    int totalForDisplay = 0;
    int replies = 0;
    int sent = 0;
    State state = State::Idle;
    Failure lastFailure = Failure::None;
    QString lastError;
    std::chrono::milliseconds firstReplyTimeout = FirstReplyTimeout;
    std::chrono::milliseconds blockReplyTimeout = BlockReplyTimeout;
    QTimer deadline;
    QList<QMetaObject::Connection> connections;
};
