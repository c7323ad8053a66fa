#pragma once

#include "cli/CliOptions.h"
#include "device/DeviceSearch.h"
#include "cli/FirmwareCheck.h"
#include "cli/ProgressPrinter.h"
#include "device/FlashWriter.h"
#include "serial/Modem.h"

#include <QObject>

class Console;

// The flasher's whole job, in the window's order: judge the file, find the
// instrument, write the flash. Ends with finished() and the exit code.
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
    void onFound(const QString &name, int firmwareVersion);
    void onNotFound();
    void onWriteFinished(bool written);
    QString withDevicePath(const QString &name) const;
    void finish(int exitCode);

    CliOptions options;
    Console &console;
    FirmwareCheck firmware;
    Modem modem;
    DeviceSearch search;
    FlashWriter writer;
    ProgressPrinter progress;
};
