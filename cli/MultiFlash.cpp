#include "cli/MultiFlash.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/FlasherText.h"
#include "cli/ProgressPrinter.h"
#include "device/DialogueText.h"
#include "device/VersionReply.h"
#include "serial/PortIdentity.h"
#include "serial/PortNames.h"

#include <QFileInfo>


namespace {

QString identityText(const PortIdentity &identity)
{
    if (!identity.isKnown())
        return MultiFlash::tr("(kein USB-Adapter bekannt)");
    return QStringLiteral("%1 %2 %3").arg(identity.usbText(), identity.serialNumber, identity.description).simplified();
}

} // namespace

MultiFlash::MultiFlash(const CliOptions &options, Console &console, QObject *parent)
    : QObject(parent),
      options(options),
      console(console),
      reporter(console, options.json),
      firmware(reporter),
      record(options.record.isEmpty() ? FlashRecord::defaultPath() : options.record),
      watch(FlashRecord::ProgramFlasher, record)
{
    reporter.warnWhenNotRecorded(record);
    follow();
    connect(&stopSignals, &StopSignals::received, this, &MultiFlash::onStopSignal);
    connect(&record, &FlashRecord::appended, this, &MultiFlash::checkDone);
}

// --watch follows USB adapters only, unless ports are named: the machine's
// other serial ports may belong to something else entirely.
void MultiFlash::follow()
{
    if (!options.ports.isEmpty())
        watch.setScope(FleetWatch::Scope::Named, options.ports);
    else if (options.all || !options.watch)
        watch.setScope(FleetWatch::Scope::ComNames);
    else
        watch.setScope(FleetWatch::Scope::Adapters);
    watch.setBaudRate(options.baudRate);
    watch.setRearmAfter(std::chrono::seconds(options.rearmAfterSeconds));
    watch.setWriting(options.mode == CliOptions::Mode::Flash);
    connect(&watch, &FleetWatch::devicesListed, this, &MultiFlash::tellAdapterWait);
    connect(&watch, &FleetWatch::portFault, this,
            [this](int, const QString &port, const QString &device, const PortFault &fault) {
                reportPort(port, device, fault);
            });
    connect(&watch, &FleetWatch::unanswered, this, &MultiFlash::onUnanswered);
    connect(&watch, &FleetWatch::answered, this, [this](int slot, int version) { onAnswered(slot, version); });
    connect(&watch, &FleetWatch::writeStarted, this, &MultiFlash::onWriteStarted);
    connect(&watch, &FleetWatch::waiting, this,
            [this](int slot, int seconds) { showState(slot, ProgressPrinter::waitingText(seconds)); });
    connect(&watch, &FleetWatch::progressed, this, &MultiFlash::onProgress);
    connect(&watch, &FleetWatch::written, this, &MultiFlash::onWritten);
    connect(&watch, &FleetWatch::slotAdded, this, [this] { states << QString(); });
    connect(&watch, &FleetWatch::settled, this, &MultiFlash::checkDone);
}

void MultiFlash::start()
{
    if (options.mode == CliOptions::Mode::Flash && !firmware.load(options.file)) {
        // --watch ends with a signal while no write runs: its normal end.
        const bool watchStopped = options.watch && firmware.loader().interrupted();
        const int status = watchStopped ? ExitCode::Success : ExitCode::ofRefusedFile(firmware.loader());
        // The signal that ended the load has been answered.
        disconnect(&stopSignals, nullptr, this, nullptr);
        reporter.summary(0, 0, status);
        emit finished(status);
        return;
    }
    watch.setFirmware(firmware.path(), firmware.loader());
    if (options.watch)
        reporter.say(tr("Warte auf HW (Ende mit Ctrl-C) ..."));
    watch.start(options.watch);
}

// --watch on USB adapters with none attached would otherwise wait without
// a word.
void MultiFlash::tellAdapterWait(const QStringList &devices)
{
    const bool followsAdapters = options.watch && options.ports.isEmpty()
            && !PortNames::fromEnvironment();
    if (!followsAdapters || devices.isEmpty() == waitingForAdapter)
        return;
    waitingForAdapter = devices.isEmpty();
    if (waitingForAdapter)
        reporter.say(tr("Kein USB-Seriell-Adapter angeschlossen: warte auf einen"));
    else
        reporter.say(tr("USB-Seriell-Adapter da: %1").arg(devices.join(QStringLiteral(", "))));
}

// Once per port and reason, also in --watch's rounds. Absent names are the
// rule in a search over COM1 to COM50 and among adapters that come and go.
void MultiFlash::reportPort(const QString &port, const QString &device, const PortFault &fault)
{
    const bool absent = fault.kind() == PortFault::Kind::Missing || fault.kind() == PortFault::Kind::NoSuchName;
    const QString key = port + QLatin1Char('|') + fault.code();
    if (fault.kind() == PortFault::Kind::None || (absent && options.ports.isEmpty()) || reportedPorts.contains(key))
        return;
    reportedPorts.insert(key);
    reporter.warn(fault.text());
    reporter.emitJson(QStringLiteral("port"), {{QStringLiteral("port"), port},
                                               {QStringLiteral("device"), device},
                                               {QStringLiteral("code"), fault.code()},
                                               {QStringLiteral("message"), fault.text()}});
}

void MultiFlash::onUnanswered(int slot, PortProbe::Result result)
{
    const bool failedBefore = result == PortProbe::Result::NoReply && record.lastWriteUnfinished(watch.device(slot));
    if (failedBefore && !options.watch)
        reporter.warn(FlasherText::stillWaiting(watch.port(slot)));
}

void MultiFlash::onAnswered(int slot, int version)
{
    if (options.mode != CliOptions::Mode::Info)
        return;
    const QString port = watch.port(slot);
    const QString device = watch.device(slot);
    const PortIdentity identity = PortIdentity::of(device);
    reporter.say(tr("%1  %2  %3  FW: %4").arg(port, device, identityText(identity), VersionReply::versionText(version)));
    reporter.found(port, device, version);
    rows.push_back({port, device, identity.serialNumber, version, std::nullopt, 0, 0});
}

void MultiFlash::onWriteStarted(int slot, int version)
{
    reporter.found(watch.port(slot), watch.device(slot), version);
    showState(slot, tr("%1, schreibe").arg(DialogueText::firmwareVersion(version)));
}

void MultiFlash::onProgress(int slot, int released, int total)
{
    reporter.progress(watch.port(slot), released, total);
    const int step = total / ProgressPrinter::PlainSteps;
    if (console.isTerminal() || (step > 0 && released % step == 0))
        showState(slot, DialogueText::blockProgress(released, total));
}

void MultiFlash::onWritten(int slot)
{
    const WriteSession &session = *watch.session(slot);
    const FlashOutcome outcome = session.outcome();
    const QString port = watch.port(slot);
    reporter.progress(port, session.blocksSent(), session.blockTotal(), true);
    reporter.emitJson(QStringLiteral("outcome"), session.recordEntry());
    showState(slot, outcome.fullText());
    // The board's line may be too short for the whole reason.
    if (!outcome.isWritten() && console.isTerminal())
        reporter.warn(QStringLiteral("%1: %2").arg(port, outcome.fullText()));
    rows.push_back({port, watch.device(slot), PortIdentity::of(watch.device(slot)).serialNumber,
                    watch.firmwareVersion(slot), outcome, outcome.blockReached(), session.seconds()});
}

// The first stop also takes no new instrument in --watch.
void MultiFlash::onStopSignal(int number)
{
    watch.stopTaking();
    switch (stopPolicy.onSignal(number, watch.anyRunning())) {
    case StopPolicy::Action::EndNow:
        // Waiting for instruments is what --watch does; elsewhere nothing is done yet.
        stoppedEarly = stoppedEarly || (!options.watch && rows.empty());
        record.abandon();
        checkDone();
        return;
    case StopPolicy::Action::KeepWriting:
        reporter.warn(FlasherText::keepWriting());
        return;
    case StopPolicy::Action::EndAfterWrites:
        return;
    case StopPolicy::Action::InterruptWrites:
        watch.interruptAll();
        return;
    }
}

void MultiFlash::showState(int slot, const QString &state)
{
    states[slot] = state;
    if (reporter.isJson())
        return;
    if (!console.isTerminal()) {
        reporter.say(QStringLiteral("%1: %2").arg(watch.port(slot), state));
        return;
    }
    if (!sinceRedraw.isValid() || sinceRedraw.hasExpired(WriteSession::ProgressInterval.count())
        || !watch.isWriting(slot))
        redraw();
}

void MultiFlash::redraw()
{
    sinceRedraw.start();
    QStringList lines;
    for (int slot = 0; slot < watch.slotCount(); ++slot) {
        if (states.value(slot).isEmpty())
            continue;
        QString text = states.value(slot);
        const WriteSession *session = watch.session(slot);
        if (session && session->isRunning() && session->blocksSent() > 0)
            text = ProgressPrinter::line(session->blocksSent(), session->blockTotal(),
                                         qint64(session->seconds() * 1000), console.width() - 8, 20);
        lines << QStringLiteral("%1 %2").arg(watch.port(slot), -6).arg(text);
    }
    console.board(lines);
}

void MultiFlash::checkDone()
{
    if (ended || watch.inRound() || watch.anyRunning() || record.isAppending())
        return;
    if ((watch.probesPending() || options.watch) && !stopPolicy.stopAsked())
        return;
    ended = true;
    watch.stopTaking();
    const int code = exitCode();
    printSummary(code);
    if (stopPolicy.closing())
        StopSignals::closeHandled();
    emit finished(code);
}

// The worst of the writes; a stop before any write counts as stopped.
int MultiFlash::exitCode() const
{
    int code = stoppedEarly ? ExitCode::Stopped : ExitCode::Success;
    for (const Row &row : rows)
        if (row.outcome)
            code = qMax(code, ExitCode::of(*row.outcome));
    if (code == ExitCode::Success && rows.empty() && !options.watch)
        return ExitCode::NoInstrument;
    return code;
}

void MultiFlash::printSummary(int exitCode)
{
    if (rows.empty() && !options.watch) {
        reporter.warn(FlasherText::noneFound());
    } else if (options.mode == CliOptions::Mode::Flash) {
        printTable();
    }
    if (options.mode == CliOptions::Mode::Info) {
        reporter.emitJson(QStringLiteral("summary"),
                          {{QStringLiteral("found"), int(rows.size())}, {QStringLiteral("exit"), exitCode}});
        return;
    }
    const auto written = std::count_if(rows.begin(), rows.end(),
                                       [](const Row &row) { return row.outcome && row.outcome->isWritten(); });
    reporter.summary(int(written), int(rows.size() - size_t(written)), exitCode);
}

// Columns as wide as their widest entry: device paths can be long.
void MultiFlash::printTable()
{
    QList<QStringList> table {{tr("Port"), tr("Geraet"), tr("USB-Seriennr."), tr("FW vorher"), tr("Ergebnis"),
                               tr("Bloecke"), tr("Sekunden")}};
    for (const Row &row : rows)
        table << QStringList {row.port, row.device, row.usbSerial.isEmpty() ? QStringLiteral("-") : row.usbSerial,
                              VersionReply::versionText(row.firmwareBefore), resultText(row), QString::number(row.blocks),
                              QString::number(row.seconds, 'f', 1)};
    constexpr int NumberColumns = 2; // the last ones, right-aligned
    QList<qsizetype> widths(table.first().size(), 0);
    for (const QStringList &line : std::as_const(table))
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = qMax(widths[i], line[i].size());
    for (const QStringList &line : std::as_const(table)) {
        QStringList cells;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const bool number = i >= line.size() - NumberColumns;
            cells << (number ? line[i].rightJustified(widths[i]) : line[i].leftJustified(widths[i]));
        }
        reporter.say(cells.join(QLatin1Char(' ')).trimmed());
    }
}

QString MultiFlash::resultText(const Row &row)
{
    if (!row.outcome)
        return tr("gefunden");
    return row.outcome->isWritten() ? tr("geschrieben") : row.outcome->code();
}
