#include "device/DeviceSearch.h"

#include "device/SearchTiming.h"
#include "device/VersionReply.h"
#include "serial/Modem.h"

#include <QByteArray>

DeviceSearch::DeviceSearch(Modem &modem, const QStringList &portNames, QObject *parent)
    : QObject(parent), modem(modem), names(portNames)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &DeviceSearch::step);
}

void DeviceSearch::start()
{
    index = 0;
    awaitingReply = false;
    deadline.setRemainingTime(TimeLimit);
    next(std::chrono::milliseconds::zero());
}

void DeviceSearch::next(std::chrono::milliseconds interval)
{
    timer.start(interval);
}

void DeviceSearch::step()
{
    if (awaitingReply)
        readReply();
    else
        tryNextPort();
}

void DeviceSearch::tryNextPort()
{
    if (index >= names.size() || deadline.hasExpired()) {
        emit notFound();
        return;
    }
    current = names.at(index);
    emit trying(current);
    if (!modem.openPort(current)) {
        const QString reason = modem.errorString();
        modem.closePort(); // releases a half-opened port
        ++index;
        emit portUnavailable(current, reason);
        next(SearchTiming::AfterUnavailablePort);
        return;
    }
    QByteArray stale(DrainBytes, Qt::Uninitialized);
    modem.readData(stale.data(), DrainBytes);
    modem.writeString(VersionReply::Query);
    awaitingReply = true;
    emit queried(current);
    next(SearchTiming::ReplyWait);
}

void DeviceSearch::readReply()
{
    awaitingReply = false;
    char bytes[VersionReply::Size];
    if (modem.readData(bytes, VersionReply::Size) != VersionReply::Size) {
        giveUpOnPort();
        return;
    }
    const VersionReply reply = VersionReply::fromBytes(bytes);
    if (!reply.isAccepted()) {
        emit replyRefused(current, reply.tag, reply.version);
        giveUpOnPort();
        return;
    }
    emit found(current, reply.version);
}

void DeviceSearch::giveUpOnPort()
{
    modem.closePort();
    ++index;
    next(SearchTiming::AfterRefusedReply);
}
