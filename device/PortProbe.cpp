#include "device/PortProbe.h"

#include "device/SearchTiming.h"

#include <QIODevice>

PortProbe::PortProbe(const QString &portName, const QString &devicePath, QObject *parent)
    : QObject(parent), ownLine(std::make_unique<Modem>()), line(*ownLine), name(portName), path(devicePath)
{
    replyWait.setSingleShot(true);
    replyWait.setTimerType(Qt::PreciseTimer);
    connect(&replyWait, &QTimer::timeout, this, &PortProbe::judgeNow);
}

PortProbe::PortProbe(Modem &modem, QObject *parent)
    : QObject(parent), line(modem)
{
    replyWait.setSingleShot(true);
    replyWait.setTimerType(Qt::PreciseTimer);
    connect(&replyWait, &QTimer::timeout, this, &PortProbe::judgeNow);
}

void PortProbe::start(int baudRate)
{
    line.setBaudRate(baudRate);
    if (!ask(name, path, [this] { drainStale(); }))
        return;
    openedDevice = DeviceId::of(line.devicePath());
    listen();
}

bool PortProbe::askAgain(const QString &portName)
{
    // Gone (the line drops a lost port), or its name now leads elsewhere.
    if (!line.device() || DeviceId::of(line.devicePath()) != openedDevice)
        return false;
    begin(portName);
    drainStale();
    sendQuery();
    listen();
    return true;
}

void PortProbe::drainStale()
{
    char stale[DrainBytes];
    line.readData(stale, sizeof stale);
}

void PortProbe::listen()
{
    connect(line.device(), &QIODevice::readyRead, this, &PortProbe::takeReply);
    replyWait.start(SearchTiming::ReplyWait);
}

bool PortProbe::start(const QString &portName, const std::function<void()> &drain)
{
    return ask(portName, {}, drain);
}

void PortProbe::begin(const QString &portName)
{
    ++asks;
    name = portName;
    outcome = Result::Pending;
    version = 0;
    tag.clear();
    std::fill(std::begin(reply), std::end(reply), '\0');
}

bool PortProbe::ask(const QString &portName, const QString &devicePath, const std::function<void()> &drain)
{
    begin(portName);
    if (!(devicePath.isEmpty() ? line.openPort(name) : line.openPort(name, devicePath))) {
        line.closePort(); // releases a half-opened port
        // Queued, so that every caller hears of it the same way; unless a
        // new ask has begun by then.
        QMetaObject::invokeMethod(this, [this, ask = ++asks] {
            if (ask == asks && outcome == Result::Pending)
                end(Result::Unavailable);
        }, Qt::QueuedConnection);
        return false;
    }
    drain();
    sendQuery();
    return true;
}

void PortProbe::sendQuery()
{
    // Not Modem::writeString: a stalled line must not hold up the caller.
    line.device()->write(VersionReply::Query);
}

void PortProbe::takeReply()
{
    if (QIODevice *port = line.device(); port && port->bytesAvailable() >= VersionReply::Size)
        judgeNow();
}

void PortProbe::judgeNow()
{
    if (outcome != Result::Pending)
        return;
    replyWait.stop();
    if (line.readData(reply, VersionReply::Size) != VersionReply::Size) {
        end(Result::NoReply);
        return;
    }
    const VersionReply answer = VersionReply::fromBytes(reply);
    tag = answer.tag;
    version = answer.version;
    end(answer.isAccepted() ? Result::Found : Result::Refused);
}

void PortProbe::end(Result result)
{
    outcome = result;
    if (QIODevice *port = line.device())
        disconnect(port, &QIODevice::readyRead, this, &PortProbe::takeReply);
    if (result != Result::Found && !(keepSilentOpen && result == Result::NoReply))
        line.closePort();
    emit finished();
}
