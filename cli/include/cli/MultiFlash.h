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

#include <QElapsedTimer>
#include <QMap>
#include <QSet>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class Console;

// Several instruments at once. --all and several --port: every port asked
// at the same time, then every instrument that answered written, each on
// its own. --watch: the ports asked about once a second, and each newly
// answering instrument written once. --info: asked, shown, nothing written.
class MultiFlash : public QObject
{
    Q_OBJECT

public:
    MultiFlash(const CliOptions &options, Console &console, QObject *parent = nullptr);

    void start();

signals:
    void finished(int exitCode);

private:
    // One port, followed by its device path.
    struct Slot
    {
        QString port;
        QString device;
        std::unique_ptr<PortProbe> probe;
        std::unique_ptr<WriteSession> session;
        bool armed = true;
        QElapsedTimer lastAnswer;
        QString state;
    };
    struct Row
    {
        QString port, device, usbSerial;
        int firmwareBefore = 0;
        std::optional<FlashOutcome> outcome; // none: only found (--info)
        int blocks = 0;
        double seconds = 0;
    };

    QStringList watchedDevices();
    QStringList distinct(const QStringList &devices);
    void tellAdapterWait(const QStringList &devices);
    void reportPort(const QString &port, const QString &device, const PortFault &fault);
    void probeRound();
    void probe(Slot &slot);
    void onProbed(Slot &slot);
    void retire(Slot &slot);
    void noteAnswer(Slot &slot);
    void startWrite(Slot &slot);
    void onWritten(Slot &slot);
    void onStopSignal(int number);
    void showState(Slot &slot, const QString &state);
    void redraw();
    void checkDone();
    void printSummary(int exitCode);
    void printTable();
    int exitCode() const;
    bool anyRunning() const;
    static QString resultText(const Row &row);

    CliOptions options;
    Console &console;
    Reporter reporter;
    FirmwareCheck firmware;
    FlashRecord record;
    StopSignals stopSignals;
    StopPolicy stopPolicy;
    std::vector<std::unique_ptr<Slot>> watched;
    std::vector<std::unique_ptr<PortProbe>> retired;
    std::vector<Row> rows;
    QSet<QString> reportedPorts;
    QTimer roundTimer;
    QElapsedTimer sinceRedraw;
    bool stoppedEarly = false;
    bool probing = false;
    bool ended = false;
    bool waitingForAdapter = false;
};
