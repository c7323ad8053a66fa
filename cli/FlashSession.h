#pragma once

#include "device/FlashOutcome.h"
#include "device/FlashWriter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class FirmwareCheck;
class Modem;

// One instrument's write, from its open port to the outcome; the flasher
// runs one of these per instrument, each on its own.
class FlashSession : public QObject
{
    Q_OBJECT

public:
    struct Target
    {
        QString port;   // as the user named it: COMn or a path
        QString device; // the path behind it
        std::optional<int> firmwareBefore;
    };

    FlashSession(Modem &modem, Target target, const FirmwareCheck &firmware, QObject *parent = nullptr);

    // finished() follows, also when the write cannot begin.
    void start();
    // Stops a running write at once; the instrument stays half written.
    void interrupt();
    bool isRunning() const { return writer.isRunning(); }

    const Target &target() const { return where; }
    FlashOutcome outcome() const { return writer.outcome(); }
    int blocksSent() const { return writer.blocksSent(); }
    int blockTotal() const;
    double seconds() const;

signals:
    // Once a second until the instrument's first reply (it erases first).
    void waiting(int secondsWaited);
    void progressed(int blocksReleased, int blockTotal);
    void finished();

private:
    void tick();

    Modem &modem;
    Target where;
    const FirmwareCheck &firmware;
    FlashWriter writer;
    QElapsedTimer clock;
    QTimer eraseTicker;
    double took = 0;
};
