#pragma once

#include "device/PortProbe.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

// The state of a device search. The members are the caller's own (the
// window keeps them as its members), so that every front end takes the
// same steps on its own state.
struct SearchState
{
    static constexpr int ReplyBufferSize = PortProbe::DrainBytes;

    const QStringList &portList;
    qint32 &portIndex;
    QString &portName;
    bool &portOpen;
    bool &awaitingReply;
    QString &replyTag;
    qint32 &firmwareVersion;
    char *replyBuffer; // ReplyBufferSize bytes
};

// One short step of the search, as its state calls for: try the next port
// (the probe opens it and sends the version query), or take the probe's
// judgement of the reply one tick later. The steps drive the probe and
// mirror what it found into the state. The accepted port stays open.
class SearchStep
{
public:
    enum class Outcome { Nothing, QuerySent, PortUnavailable, NoReply, ReplyRefused, Found };

    // probe asks through the Modem the search's port is to stay open in.
    SearchStep(PortProbe &probe, const SearchState &state, std::function<void()> drainInput);

    Outcome run();
    // Back to the state at start: no port open, the first name next. For a
    // found instrument whose line was lost; it may come back on any port.
    void startOver();
    // When the next step is due; none once the instrument is found.
    static std::optional<std::chrono::milliseconds> nextInterval(Outcome outcome);

private:
    Outcome tryNextPort();
    Outcome readReply();
    Outcome giveUpOnPort(Outcome why);
    void advancePortIndex();

    PortProbe &probe;
    SearchState state;
    std::function<void()> drainInput;
};
