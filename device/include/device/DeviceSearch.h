#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "device/PortProbe.h"
#include "device/SearchStep.h"

#include <chrono>

class Modem;

// The window's search steps, but with an end: the names are tried once
// each, in order, one short step per timer tick. On a port that opens the
// version query goes out and the reply is read a tick later; the first
// accepted reply leaves its port open in the Modem.
class DeviceSearch : public QObject
{
    Q_OBJECT

public:
    // One pass over 50 ports that all open but never answer takes 25 s;
    // this only ends a pass that something else holds up.
    static constexpr std::chrono::seconds TimeLimit{30};
    DeviceSearch(Modem &modem, const QStringList &portNames, QObject *parent = nullptr);

    void start();
    QString portName() const { return current; }

signals:
    void trying(const QString &portName);
    void queried(const QString &portName);
    void portUnavailable(const QString &portName, const QString &reason);
    // The port opened but gave no reply.
    void silent(const QString &portName);
    void replyRefused(const QString &portName, const QString &tag, int version);
    void found(const QString &portName, int firmwareVersion);
    void notFound();

private:
    void step();
    void report(SearchStep::Outcome outcome);
    bool passDone() const;

    Modem &modem;
    PortProbe probe {modem};
    QStringList names;
    qint32 portIndex = 0;
    QString current;
    bool portOpen = false;
    bool awaitingReply = false;
    QString replyTag;
    qint32 firmwareVersion = 0;
    char replyBuffer[SearchState::ReplyBufferSize];
    int portsTried = 0;
    QTimer timer;
    QDeadlineTimer deadline;
};
