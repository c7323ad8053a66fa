#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

// What a flash write came to, and what it means for the instrument: one
// meaning, and one way of saying it, for every front end.
class FlashOutcome
{
    Q_GADGET

public:
    enum class Failure {
        None,
        NotConnected,  // refused: no open line
        ImageTooLarge, // refused: blocks beyond the image
        WriteError,    // the line refused bytes
        NoReply,       // the instrument fell silent
        LineError,     // the line went away
        SendTimeout,   // written bytes did not leave the host in time
        Interrupted,   // stopped on the user's demand
    };
    Q_ENUM(Failure)

    FlashOutcome() = default; // written
    // block: the block the write stopped at; begun: the start command went out.
    FlashOutcome(Failure failure, bool begun, int block, int blockTotal);

    bool isWritten() const { return why == Failure::None; }
    Failure failure() const { return why; }
    int block() const { return atBlock; }
    // The n of "Abbruch bei Block n / m", all blocks once written, 0 when
    // the start command never went out.
    int blockReached() const { return isWritten() || begun ? atBlock : 0; }
    int blockTotal() const { return total; }
    // The instrument took the start command and may wait in the write.
    bool leftInstrumentWaiting() const { return !isWritten() && begun; }

    QString text() const;
    // Fits the window's labels.
    QString shortText() const;
    // What to do next; empty when the instrument was not touched.
    QString advice() const;
    // text() and advice() as one line, where there is room for both.
    QString fullText() const;
    // The reason and what to do, short enough for the window's status bar.
    QString statusText() const;
    // The reason alone, in a few words: "Verbindung unterbrochen".
    QString briefText() const { return briefReason(); }
    // Untranslated, for scripts and records: no_reply, line_lost, ...
    QString code() const;
    // The outcome a record's failure code and block stand for; written
    // when the code is none this program knows.
    static FlashOutcome ofCode(const QString &code, int block, int blockTotal);

private:
    QString reason() const;
    QString briefReason() const;

    Failure why = Failure::None;
    bool begun = false;
    int atBlock = 0;
    int total = 0;
};
