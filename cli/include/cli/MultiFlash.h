#pragma once

#include "cli/CliOptions.h"
#include "cli/FirmwareCheck.h"
#include "cli/Reporter.h"
#include "device/FlashOutcome.h"
#include "record/FlashRecord.h"
#include "device/PortProbe.h"
#include "stop/StopPolicy.h"
#include "stop/StopSignals.h"
#include "device/WriteSession.h"
#include "fleet/FleetWatch.h"

#include <QElapsedTimer>
#include <QSet>
#include <QObject>

#include <optional>
#include <vector>

class Console;

// Several instruments at once, on the console. --all and several --port:
// every port asked at the same time, then every instrument that answered
// written, each on its own. --watch: the ports asked about once a second,
// and each newly answering instrument written once. --info: asked, shown,
// nothing written. FleetWatch does it all; this only tells it.
class MultiFlash : public QObject
{
    Q_OBJECT

public:
    MultiFlash(const CliOptions &options, Console &console, QObject *parent = nullptr);

    void start();

signals:
    void finished(int exitCode);

private:
    struct Row
    {
        QString port, device, usbSerial;
        int firmwareBefore = 0;
        std::optional<FlashOutcome> outcome; // none: only found (--info)
        int blocks = 0;
        double seconds = 0;
    };

    void follow();
    void tellAdapterWait(const QStringList &devices);
    void reportPort(const QString &port, const QString &device, const PortFault &fault);
    void onUnanswered(int slot, PortProbe::Result result);
    void onAnswered(int slot, int version);
    void onWriteStarted(int slot, int version);
    void onProgress(int slot, int released, int total);
    void onWritten(int slot);
    void onStopSignal(int number);
    void showState(int slot, const QString &state);
    void redraw();
    void checkDone();
    void printSummary(int exitCode);
    void printTable();
    int exitCode() const;
    static QString resultText(const Row &row);

    CliOptions options;
    Console &console;
    Reporter reporter;
    FirmwareCheck firmware;
    FlashRecord record;
    StopSignals stopSignals;
    StopPolicy stopPolicy;
    FleetWatch watch;
    QStringList states; // each slot's line on the board
    std::vector<Row> rows;
    QSet<QString> reportedPorts;
    QElapsedTimer sinceRedraw;
    bool stoppedEarly = false;
    bool ended = false;
    bool waitingForAdapter = false;
};
