#pragma once

#include "cli/CliOptions.h"
#include "cli/FirmwareCheck.h"
#include "cli/ProgressPrinter.h"
#include "cli/Reporter.h"
#include "device/DeviceSearch.h"
#include "record/FlashRecord.h"
#include "stop/StopPolicy.h"
#include "stop/StopSignals.h"
#include "device/WriteSession.h"
#include "serial/Modem.h"

#include <QObject>

#include <memory>

class Console;

// The flasher's job for one instrument, in the window's order: judge the
// file, find the instrument (or take the named port), write the flash.
// Ends with finished() and the exit code.
class FlashCommand : public QObject
{
    Q_OBJECT

public:
    FlashCommand(const CliOptions &options, Console &console, QObject *parent = nullptr);

    // Returns at once; the outcome comes through the event loop.
    void start();

signals:
    void finished(int exitCode);

private:
    void connectSearch();
    void showTrying(const QString &name);
    void onSilent(const QString &name);
    void onFound(const QString &name, int firmwareVersion);
    void onNotFound();
    void onWriteFinished();
    void onStopSignal(int number);
    QString withDevicePath(const QString &name) const;
    void finish(int exitCode);

    CliOptions options;
    Reporter reporter;
    FirmwareCheck firmware;
    Modem modem;
    DeviceSearch search;
    ProgressPrinter progress;
    FlashRecord record;
    StopSignals stopSignals;
    StopPolicy stopPolicy;
    std::unique_ptr<WriteSession> session;
};
