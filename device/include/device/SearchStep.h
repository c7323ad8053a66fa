#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class Modem;

// The state of a device search. The members are the caller's own (the
// window keeps them as its members), so that every front end takes the
// same steps on its own state.
struct SearchState
{
    // Room for all a port can hold before the query (its input queue is
    // SerialLine::QueueBytes), so one read drains it; and for the reply.
    static constexpr int ReplyBufferSize = 8004;

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
// (open it and send the version query), or read and judge the reply to the
// query sent one tick before. The accepted port stays open.
class SearchStep
{
public:
    enum class Outcome { Nothing, QuerySent, PortUnavailable, NoReply, ReplyRefused, Found };

    SearchStep(Modem &modem, const SearchState &state, std::function<void()> drainInput);

    Outcome run();
    // Back to the state at start: no port open, the first name next. For a
    // found instrument whose line was lost; it may come back on any port.
    void startOver();
    // When the next step is due; none once the instrument is found.
    static std::optional<std::chrono::milliseconds> nextInterval(Outcome outcome);

    // The one way to ask a port, for the window's search and the flasher's
    // probe alike: the version query on a line drained first, and the
    // judgement of the first reply bytes. tag and version are set from
    // every complete reply.
    static void sendQuery(Modem &modem, const std::function<void()> &drainInput);
    static Outcome judgeReply(Modem &modem, char *buffer, QString &tag, qint32 &version);

private:
    Outcome tryNextPort();
    Outcome readReply();
    Outcome giveUpOnPort(Outcome why);
    void advancePortIndex();

    Modem &modem;
    SearchState state;
    std::function<void()> drainInput;
};
