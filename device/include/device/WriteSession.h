#pragma once

#include "device/FlashOutcome.h"
#include "device/FlashRecordFacts.h"
#include "device/FlashWriter.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

class FlashRecord;
class HexLoader;
class QIODevice;

// One instrument's write as the window and the flasher both run it: from
// the open port to the outcome and its line in the flash record. It keeps
// the time and the record's facts; the faces only show what it says.
class WriteSession : public QObject
{
    Q_OBJECT

public:
    // Ten changes a second are plenty to watch; more cost CPU just when the
    // next block is due.
    static constexpr std::chrono::milliseconds ProgressInterval {100};

    struct Target
    {
        QString port;   // as the user knows it: COMn or a path
        QString device; // the path behind it
        std::optional<int> firmwareBefore;
    };

    // program: FlashRecord::ProgramWindow, ProgramFlasher or ProgramStation.
    WriteSession(const char *program, FlashRecord &record, QObject *parent = nullptr);

    // The station the writes are made at, for the record; empty elsewhere.
    void setStation(const QString &name) { facts.station = name; }

    // The file the next writes send, as its loader accepted it.
    void fileAccepted(const QString &path, const HexLoader &loader);
    // line: the found instrument's open port, or nullptr. False when the
    // write cannot begin (no open line, say); finished() has then come
    // already, and the attempt is recorded all the same. A second start
    // while one runs is refused without a word.
    bool start(QIODevice *line, const Target &target, const FirmwareImage &image, qint32 imageLength);
    // Stops a running write at once; the instrument stays half written.
    void interrupt() { writer.interrupt(); }
    // False again once finished() is on its way.
    bool isRunning() const { return running; }

    const Target &target() const { return where; }
    FlashOutcome outcome() const { return writer.outcome(); }
    int blocksSent() const { return writer.blocksSent(); }
    int blockTotal() const { return writer.blockTotal(); }
    // From the start command to the outcome, or so far.
    double seconds() const;
    // The record's line of the write that ended last.
    const QJsonObject &recordEntry() const { return entry; }
    // Its time limits, for tests with a quick or a stuck line.
    FlashWriter &flashWriter() { return writer; }

signals:
    // Once a second until the instrument's first reply: it erases first.
    void waiting(int secondsWaited);
    void progressed(int blocksReleased, int blockTotal);
    // The outcome is known and its record line on its way.
    void finished(bool written);

private:
    void end(bool written);

    FlashRecord &record;
    FlashRecordFacts facts;
    FlashWriter writer;
    Target where;
    QElapsedTimer clock;
    QTimer eraseTicker;
    double took = 0;
    bool running = false;
    QJsonObject entry;
};
