#pragma once

#include "device/VersionReply.h"
#include "serial/DeviceId.h"
#include "serial/Modem.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

// The one way to ask a port for the instrument's version, for every front
// end: opens it, drains it, sends the version query (and nothing else,
// ever) without waiting for the line, and judges the reply as soon as its
// bytes are in, or when the reply wait is over. Many probes can ask many
// ports at the same time. A found instrument's port stays open in the
// probe's Modem: its own, or the caller's.
class PortProbe : public QObject
{
    Q_OBJECT

public:
    enum class Result { Pending, Found, NoReply, Refused, Unavailable };
    // Room for all a port can hold before the query (its input queue is
    // SerialLine::QueueBytes), so one read drains it; and for the reply.
    static constexpr int DrainBytes = 8004;

    // Asks portName through a Modem of its own; at devicePath when the
    // caller has looked it up already.
    explicit PortProbe(const QString &portName, const QString &devicePath = {}, QObject *parent = nullptr);
    // Asks through the caller's Modem, which must outlive the probe.
    explicit PortProbe(Modem &modem, QObject *parent = nullptr);

    // Judged as soon as the reply is in, or after the reply wait;
    // finished() follows, also when the port does not open.
    void start(int baudRate = Modem::DefaultBaudRate);
    // For a caller with steps of its own: asks portName at the Modem's
    // rate and leaves the judging to judgeNow(). False when the port did
    // not open; drain runs once it is open, before the query goes out.
    bool start(const QString &portName, const std::function<void()> &drain);
    // Judges what has come in so far, now; nothing once judged.
    void judgeNow();
    // A port that stays silent is kept open (own Modem only), for
    // askAgain(): asking an open port costs a fraction of opening it.
    void setKeepSilentOpen(bool keep) { keepSilentOpen = keep; }
    // Asks the port kept open once more, as start() does, naming it
    // portName; false when there is none, or its path now leads elsewhere.
    bool askAgain(const QString &portName);

    QString portName() const { return name; }
    Result result() const { return outcome; }
    int firmwareVersion() const { return version; }
    // The reply's bytes 2 and 3, from every complete reply.
    QString replyTag() const { return tag; }
    // The first VersionReply::Size bytes read, as far as they came.
    const char *replyBytes() const { return reply; }
    Modem &modem() { return line; }

signals:
    void finished();

private:
    void begin(const QString &portName);
    bool ask(const QString &portName, const QString &devicePath, const std::function<void()> &drain);
    void drainStale();
    void sendQuery();
    void listen();
    void takeReply();
    void end(Result result);

    std::unique_ptr<Modem> ownLine;
    Modem &line;
    QString name;
    QString path;
    DeviceId openedDevice;
    QTimer replyWait;
    Result outcome = Result::Pending;
    int version = 0;
    quint64 asks = 0;
    bool keepSilentOpen = false;
    QString tag;
    char reply[VersionReply::Size] = {};
};
