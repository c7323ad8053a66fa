#include "device/PortProbe.h"

#include "device/SearchStep.h"
#include "device/SearchTiming.h"
#include "device/VersionReply.h"

#include <QIODevice>

PortProbe::PortProbe(const QString &portName, QObject *parent)
    : QObject(parent), name(portName)
{
    replyWait.setSingleShot(true);
    replyWait.setTimerType(Qt::PreciseTimer);
    connect(&replyWait, &QTimer::timeout, this, &PortProbe::judge);
}

void PortProbe::start(int baudRate)
{
    outcome = Result::Pending;
    line.setBaudRate(baudRate);
    if (!line.openPort(name)) {
        line.closePort(); // releases a half-opened port
        // Queued, so that every caller hears of it the same way.
        QMetaObject::invokeMethod(this, [this] { end(Result::Unavailable); }, Qt::QueuedConnection);
        return;
    }
    SearchStep::sendQuery(line, [this] {
        char stale[SearchState::ReplyBufferSize];
        line.readData(stale, sizeof stale);
    });
    connect(line.device(), &QIODevice::readyRead, this, &PortProbe::takeReply);
    replyWait.start(SearchTiming::ReplyWait);
}

void PortProbe::takeReply()
{
    if (QIODevice *port = line.device(); port && port->bytesAvailable() >= VersionReply::Size)
        judge();
}

void PortProbe::judge()
{
    if (outcome != Result::Pending)
        return;
    replyWait.stop();
    char bytes[VersionReply::Size];
    QString tag;
    switch (SearchStep::judgeReply(line, bytes, tag, version)) {
    case SearchStep::Outcome::Found:
        end(Result::Found);
        return;
    case SearchStep::Outcome::ReplyRefused:
        end(Result::Refused);
        return;
    default:
        end(Result::NoReply);
        return;
    }
}

void PortProbe::end(Result result)
{
    outcome = result;
    if (result != Result::Found)
        line.closePort();
    else if (QIODevice *port = line.device())
        disconnect(port, &QIODevice::readyRead, this, &PortProbe::takeReply);
    emit finished();
}
