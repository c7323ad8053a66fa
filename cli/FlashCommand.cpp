#include "cli/FlashCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/FlasherText.h"
#include "device/DialogueText.h"
#include "serial/PortNames.h"


FlashCommand::FlashCommand(const CliOptions &options, Console &console, QObject *parent)
    : QObject(parent),
      options(options),
      reporter(console, options.json),
      firmware(reporter),
      search(modem, options.port.isEmpty() ? PortNames::comNames() : QStringList {options.port}),
      progress(console),
      record(options.record.isEmpty() ? FlashRecord::defaultPath() : options.record)
{
    reporter.warnWhenNotRecorded(record);
    connectSearch();
    connect(&stopSignals, &StopSignals::received, this, &FlashCommand::onStopSignal);
}

void FlashCommand::connectSearch()
{
    connect(&search, &DeviceSearch::trying, this, &FlashCommand::showTrying);
    connect(&search, &DeviceSearch::queried, this, [this](const QString &name) {
        if (!reporter.console().isTerminal())
            reporter.say(DialogueText::searching(withDevicePath(name)));
    });
    connect(&search, &DeviceSearch::replyRefused, this, [this](const QString &name, const QString &tag, int version) {
        reporter.say(tr("%1: Antwort nicht erkannt (Kennung \"%2\", Version: %3)")
                             .arg(name, tag, QString::asprintf("%03i", version)));
    });
    // During a search over all names, absent or unusable ports are the
    // rule; only what the user can mend is news there.
    connect(&modem, &Modem::portFailed, this, [this](const QString &line) {
        if (!options.port.isEmpty() || modem.fault().isActionable())
            reporter.warn(line);
    });
    if (!options.port.isEmpty())
        connect(&search, &DeviceSearch::portUnavailable, this, [this](const QString &, const QString &reason) {
            const auto kind = modem.fault().kind();
            if (kind == PortFault::Kind::NoSuchName)
                reporter.warn(FlasherText::seeList(reason));
            else if (kind == PortFault::Kind::Missing)
                reporter.warn(reason);
        });
    connect(&search, &DeviceSearch::silent, this, &FlashCommand::onSilent);
    connect(&search, &DeviceSearch::found, this, &FlashCommand::onFound);
    connect(&search, &DeviceSearch::notFound, this, &FlashCommand::onNotFound);
}

void FlashCommand::start()
{
    if (!firmware.load(options.file)) {
        finish(ExitCode::ofRefusedFile(firmware.loader()));
        return;
    }
    if (options.baudRate != 0)
        modem.setBaudRate(options.baudRate);
    search.start();
}

void FlashCommand::showTrying(const QString &name)
{
    reporter.console().status(DialogueText::searching(name));
}

void FlashCommand::onSilent(const QString &name)
{
    if (record.lastWriteUnfinished(PortNames::devicePath(name)))
        reporter.warn(FlasherText::stillWaiting(withDevicePath(name)));
}

void FlashCommand::onFound(const QString &name, int firmwareVersion)
{
    reporter.say(DialogueText::found(withDevicePath(name)));
    reporter.say(DialogueText::firmwareVersion(firmwareVersion));
    const WriteSession::Target target {name, modem.devicePath(), firmwareVersion};
    reporter.found(target.port, target.device, firmwareVersion);
    session = std::make_unique<WriteSession>(FlashRecord::ProgramFlasher, record);
    session->fileAccepted(firmware.path(), firmware.loader());
    connect(session.get(), &WriteSession::waiting, this, [this](int seconds) { progress.waiting(seconds); });
    connect(session.get(), &WriteSession::progressed, this, [this](int released, int total) {
        progress.update(released);
        reporter.progress(session->target().port, released, total);
    });
    connect(session.get(), &WriteSession::finished, this, &FlashCommand::onWriteFinished);
    progress.begin(firmware.blockTotal());
    if (session->start(modem.device(), target, firmware.image(), firmware.imageLength()))
        reporter.say(DialogueText::writeStarting());
}

void FlashCommand::onNotFound()
{
    const QString where = options.port.isEmpty()
            ? tr("COM1 bis COM%1 (siehe --list)").arg(PortNames::ComCount)
            : withDevicePath(options.port);
    reporter.warn(FlasherText::notFound(where));
    finish(ExitCode::NoInstrument);
}

void FlashCommand::onWriteFinished()
{
    const FlashOutcome outcome = session->outcome();
    reporter.progress(session->target().port, session->blocksSent(), session->blockTotal(), true);
    reporter.emitJson(QStringLiteral("outcome"), session->recordEntry());
    if (!outcome.isWritten()) {
        reporter.warn(outcome.text());
        if (!outcome.advice().isEmpty())
            reporter.warn(outcome.advice());
    } else {
        progress.end(session->blocksSent());
        reporter.say(outcome.text());
        progress.totalTime(session->seconds());
    }
    const int code = ExitCode::of(outcome);
    // The record line may wait a moment for its lock.
    if (!record.isAppending()) {
        finish(code);
        return;
    }
    connect(&record, &FlashRecord::appended, this, [this, code] {
        if (!record.isAppending())
            finish(code);
    });
}

void FlashCommand::onStopSignal(int number)
{
    switch (stopPolicy.onSignal(number, session && session->isRunning())) {
    case StopPolicy::Action::EndNow:
        if (session) {
            record.abandon(); // the write has ended; only its record line waits
            return;
        }
        reporter.warn(FlasherText::stoppedBeforeWrite());
        finish(ExitCode::Stopped);
        return;
    case StopPolicy::Action::KeepWriting:
        reporter.warn(FlasherText::keepWriting());
        return;
    case StopPolicy::Action::EndAfterWrites:
        return;
    case StopPolicy::Action::InterruptWrites:
        session->interrupt();
        return;
    }
}

QString FlashCommand::withDevicePath(const QString &name) const
{
    const QString path = modem.devicePath().isEmpty() ? PortNames::devicePath(name) : modem.devicePath();
    if (path.isEmpty() || path == name)
        return name;
    return QStringLiteral("%1 (%2)").arg(name, path);
}

void FlashCommand::finish(int exitCode)
{
    // A console being closed ends the program as soon as this is done.
    if (stopPolicy.closing())
        StopSignals::closeHandled();
    const bool written = session && !session->isRunning() && session->outcome().isWritten();
    reporter.summary(written ? 1 : 0, session && !written ? 1 : 0, exitCode);
    search.disconnect(this);
    modem.closePort();
    emit finished(exitCode);
}
