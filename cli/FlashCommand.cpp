#include "cli/FlashCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "device/DialogueText.h"
#include "serial/PortNames.h"

FlashCommand::FlashCommand(const CliOptions &options, Console &console, QObject *parent)
    : QObject(parent),
      options(options),
      console(console),
      firmware(console),
      search(modem, options.port.isEmpty() ? PortNames::comNames() : QStringList {options.port}),
      progress(console)
{
    connectSearch();
    connect(&writer, &FlashWriter::blockReleased, this, [this](int released, int) { progress.update(released); });
    connect(&writer, &FlashWriter::finished, this, &FlashCommand::onWriteFinished);
}

void FlashCommand::connectSearch()
{
    connect(&search, &DeviceSearch::trying, this, &FlashCommand::showTrying);
    connect(&search, &DeviceSearch::queried, this, [this](const QString &name) {
        if (!console.isTerminal())
            console.line(DialogueText::searching(withDevicePath(name)));
    });
    connect(&search, &DeviceSearch::replyRefused, this, [this](const QString &name, const QString &tag, int version) {
        console.line(QStringLiteral("%1: Antwort nicht erkannt (Kennung \"%2\", Version: %3)")
                             .arg(name, tag, QString::asprintf("%03i", version)));
    });
    // During a search over all names, absent or unusable ports are the
    // rule; only what the user can mend is news there.
    connect(&modem, &Modem::portFailed, this, [this](const QString &line) {
        if (!options.port.isEmpty() || modem.fault().isActionable())
            console.error(line);
    });
    if (!options.port.isEmpty())
        connect(&search, &DeviceSearch::portUnavailable, this, [this](const QString &, const QString &reason) {
            if (modem.fault().kind() == PortFault::Kind::Missing || modem.fault().kind() == PortFault::Kind::NoSuchName)
                console.error(reason);
        });
    connect(&search, &DeviceSearch::found, this, &FlashCommand::onFound);
    connect(&search, &DeviceSearch::notFound, this, &FlashCommand::onNotFound);
}

void FlashCommand::start()
{
    if (!firmware.load(options.file)) {
        finish(ExitCode::FileRefused);
        return;
    }
    if (options.baudRate != 0)
        modem.setBaudRate(options.baudRate);
    search.start();
}

void FlashCommand::showTrying(const QString &name)
{
    console.status(DialogueText::searching(name));
}

void FlashCommand::onFound(const QString &name, int firmwareVersion)
{
    console.line(DialogueText::found(withDevicePath(name)));
    console.line(DialogueText::firmwareVersion(firmwareVersion));
    progress.begin(firmware.blockTotal());
    if (!writer.start(modem.device(), firmware.image(), firmware.imageLength())) {
        onWriteFinished(false);
        return;
    }
    console.line(DialogueText::writeStarting());
}

void FlashCommand::onNotFound()
{
    const QString where = options.port.isEmpty()
            ? QStringLiteral("COM1 bis COM%1 (siehe --list)").arg(PortNames::ComCount)
            : withDevicePath(options.port);
    console.error(QStringLiteral("Keine HW gefunden an %1").arg(where));
    finish(ExitCode::NoInstrument);
}

void FlashCommand::onWriteFinished(bool written)
{
    const FlashOutcome outcome = writer.outcome();
    if (!written) {
        console.error(outcome.text());
        if (!outcome.advice().isEmpty())
            console.error(outcome.advice());
        finish(ExitCode::WriteFailed);
        return;
    }
    progress.end(writer.blocksSent());
    console.line(outcome.text());
    finish(ExitCode::Success);
}

QString FlashCommand::withDevicePath(const QString &name) const
{
    const QString path = PortNames::devicePath(name);
    if (path.isEmpty() || path == name)
        return name;
    return QStringLiteral("%1 (%2)").arg(name, path);
}

void FlashCommand::finish(int exitCode)
{
    modem.closePort();
    emit finished(exitCode);
}
