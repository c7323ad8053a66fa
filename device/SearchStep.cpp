#include "device/SearchStep.h"

#include "device/SearchTiming.h"
#include "device/VersionReply.h"
#include "serial/Modem.h"

SearchStep::SearchStep(Modem &modem, const SearchState &state, std::function<void()> drainInput)
    : modem(modem), state(state), drainInput(std::move(drainInput))
{
}

SearchStep::Outcome SearchStep::run()
{
    if (state.awaitingReply)
        return readReply();
    if (!state.portOpen)
        return tryNextPort();
    return Outcome::Nothing; // found before: the port stays as it is
}

void SearchStep::startOver()
{
    modem.closePort();
    state.portIndex = 0;
    state.portOpen = false;
    state.awaitingReply = false;
}

std::optional<std::chrono::milliseconds> SearchStep::nextInterval(Outcome outcome)
{
    switch (outcome) {
    case Outcome::QuerySent:
        return SearchTiming::ReplyWait;
    case Outcome::PortUnavailable:
        return SearchTiming::AfterUnavailablePort;
    case Outcome::NoReply:
    case Outcome::ReplyRefused:
        return SearchTiming::AfterRefusedReply;
    case Outcome::Nothing:
    case Outcome::Found:
        break;
    }
    return std::nullopt;
}

SearchStep::Outcome SearchStep::tryNextPort()
{
    state.portName = state.portList.at(state.portIndex);
    state.portOpen = modem.openPort(state.portName);
    if (state.portOpen) {
        sendQuery(modem, drainInput);
        state.awaitingReply = true;
        return Outcome::QuerySent;
    }
    advancePortIndex();
    state.awaitingReply = false;
    modem.closePort(); // releases a half-opened port
    return Outcome::PortUnavailable;
}

void SearchStep::sendQuery(Modem &modem, const std::function<void()> &drainInput)
{
    drainInput();
    modem.writeString(VersionReply::Query);
}

SearchStep::Outcome SearchStep::judgeReply(Modem &modem, char *buffer, QString &tag, qint32 &version)
{
    if (modem.readData(buffer, VersionReply::Size) != VersionReply::Size)
        return Outcome::NoReply;
    const VersionReply reply = VersionReply::fromBytes(buffer);
    tag = reply.tag;
    version = reply.version;
    return reply.isAccepted() ? Outcome::Found : Outcome::ReplyRefused;
}

SearchStep::Outcome SearchStep::readReply()
{
    state.awaitingReply = false;
    const Outcome judged = judgeReply(modem, state.replyBuffer, state.replyTag, state.firmwareVersion);
    return judged == Outcome::Found ? judged : giveUpOnPort(judged);
}

SearchStep::Outcome SearchStep::giveUpOnPort(Outcome why)
{
    advancePortIndex();
    modem.closePort();
    state.portOpen = false;
    return why;
}

void SearchStep::advancePortIndex()
{
    ++state.portIndex;
    if (state.portIndex >= state.portList.size())
        state.portIndex = 0;
}
