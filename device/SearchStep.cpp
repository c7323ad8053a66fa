#include "device/SearchStep.h"

#include "device/SearchTiming.h"
#include "device/VersionReply.h"
#include "serial/Modem.h"

#include <algorithm>

SearchStep::SearchStep(PortProbe &probe, const SearchState &state, std::function<void()> drainInput)
    : probe(probe), state(state), drainInput(std::move(drainInput))
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
    probe.modem().closePort();
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
    // Open before the drain, which reads only from an open port.
    state.portOpen = probe.start(state.portName, [this] {
        state.portOpen = true;
        drainInput();
    });
    if (state.portOpen) {
        state.awaitingReply = true;
        return Outcome::QuerySent;
    }
    advancePortIndex();
    state.awaitingReply = false;
    return Outcome::PortUnavailable;
}

SearchStep::Outcome SearchStep::readReply()
{
    state.awaitingReply = false;
    probe.judgeNow();
    std::copy_n(probe.replyBytes(), VersionReply::Size, state.replyBuffer);
    if (probe.result() == PortProbe::Result::NoReply)
        return giveUpOnPort(Outcome::NoReply);
    state.replyTag = probe.replyTag();
    state.firmwareVersion = probe.firmwareVersion();
    if (probe.result() == PortProbe::Result::Found)
        return Outcome::Found;
    return giveUpOnPort(Outcome::ReplyRefused);
}

SearchStep::Outcome SearchStep::giveUpOnPort(Outcome why)
{
    advancePortIndex();
    probe.modem().closePort();
    state.portOpen = false;
    return why;
}

void SearchStep::advancePortIndex()
{
    ++state.portIndex;
    if (state.portIndex >= state.portList.size())
        state.portIndex = 0;
}
