#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class QIODevice;

// Waits on the event loop until everything written to a line has left the
// host: the port's own buffer and the driver's output queue. That is all
// "sent" can mean: the instrument answers nothing to the last bytes of a
// write.
class SendWait : public QObject
{
    Q_OBJECT

public:
    // The last block and the end marker leave a 9600-baud line in 70 ms.
    static constexpr std::chrono::milliseconds Limit {2000};

    explicit SendWait(QObject *parent = nullptr);

    // finished() follows, also when nothing is left to send.
    void start(QIODevice *line, std::chrono::milliseconds limit = Limit);
    void stop();

    // Bytes written to the line that have not left the host yet; -1 for a
    // port that can no longer tell.
    static qint64 unsentBytes(QIODevice *line);

signals:
    void finished(bool sent);

private:
    void check();
    void giveUp();
    void end(bool sent);

    QPointer<QIODevice> line;
    QMetaObject::Connection written;
    QTimer limitTimer;
    QTimer poll;
};
