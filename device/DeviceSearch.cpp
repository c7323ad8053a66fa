#include "device/DeviceSearch.h"

#include "serial/Modem.h"

DeviceSearch::DeviceSearch(Modem &modem, const QStringList &portNames, QObject *parent)
    : QObject(parent), modem(modem), names(portNames)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &DeviceSearch::step);
}

void DeviceSearch::start()
{
    portIndex = 0;
    portOpen = false;
    awaitingReply = false;
    portsTried = 0;
    deadline.setRemainingTime(TimeLimit);
    timer.start(0);
}

bool DeviceSearch::passDone() const
{
    return portsTried >= names.size() || deadline.hasExpired();
}

void DeviceSearch::step()
{
    if (!awaitingReply) {
        if (passDone()) {
            emit notFound();
            return;
        }
        emit trying(names.at(portIndex));
    }
    const SearchState state {names, portIndex, current, portOpen, awaitingReply,
                             replyTag, firmwareVersion, replyBuffer};
    const auto outcome = SearchStep(probe, state, [this] { modem.readData(replyBuffer, SearchState::ReplyBufferSize); }).run();
    report(outcome);
    if (const auto interval = SearchStep::nextInterval(outcome))
        timer.start(*interval);
}

void DeviceSearch::report(SearchStep::Outcome outcome)
{
    using Outcome = SearchStep::Outcome;
    switch (outcome) {
    case Outcome::QuerySent:
        emit queried(current);
        break;
    case Outcome::PortUnavailable:
        ++portsTried;
        emit portUnavailable(current, modem.errorString());
        break;
    case Outcome::NoReply:
        ++portsTried;
        emit silent(current);
        break;
    case Outcome::ReplyRefused:
        ++portsTried;
        emit replyRefused(current, replyTag, firmwareVersion);
        break;
    case Outcome::Found:
        emit found(current, firmwareVersion);
        break;
    case Outcome::Nothing:
        break;
    }
}
