#pragma once

#include "serial/Modem.h"

#include <QObject>
#include <QString>
#include <QTimer>

// Asks one port once for the instrument's version, without blocking, with
// the search's own step: opens it, drains it, sends the version query (and
// nothing else, ever) and judges the reply as soon as it is in. Many probes
// can ask many ports at the same time. A found instrument's port stays open
// in the probe's own Modem.
class PortProbe : public QObject
{
    Q_OBJECT

public:
    enum class Result { Pending, Found, NoReply, Refused, Unavailable };

    explicit PortProbe(const QString &portName, QObject *parent = nullptr);

    // finished() follows, also when the port does not open.
    void start(int baudRate = Modem::DefaultBaudRate);

    QString portName() const { return name; }
    Result result() const { return outcome; }
    int firmwareVersion() const { return version; }
    Modem &modem() { return line; }

signals:
    void finished();

private:
    void takeReply();
    void judge();
    void end(Result result);

    QString name;
    Modem line;
    QTimer replyWait;
    Result outcome = Result::Pending;
    int version = 0;
};
