#include "cli/MultiFlash.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/FlasherText.h"
#include "cli/ProgressPrinter.h"
#include "device/DialogueText.h"
#include "device/VersionReply.h"
#include "serial/DeviceId.h"
#include "serial/PortIdentity.h"
#include "serial/PortNames.h"

#include <QFileInfo>


namespace {

// The ports are asked about about once a second in --watch.
constexpr std::chrono::milliseconds RoundInterval {1000};

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
      record(options.record.isEmpty() ? FlashRecord::defaultPath() : options.record)
{
    reporter.warnWhenNotRecorded(record);
    roundTimer.setInterval(RoundInterval);
    connect(&roundTimer, &QTimer::timeout, this, &MultiFlash::probeRound);
    connect(&stopSignals, &StopSignals::received, this, &MultiFlash::onStopSignal);
    connect(&record, &FlashRecord::appended, this, &MultiFlash::checkDone);
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
    if (options.watch) {
        reporter.say(tr("Warte auf HW (Ende mit Ctrl-C) ..."));
        roundTimer.start();
    }
    probeRound();
}

// --watch follows USB adapters only, unless ports are named: the machine's
// other serial ports may belong to something else entirely.
QStringList MultiFlash::watchedDevices()
{
    QStringList devices;
    if (!options.ports.isEmpty()) {
        for (const QString &port : options.ports)
            devices << PortNames::devicePath(port);
    } else if (options.all || !options.watch) {
        for (const QString &name : PortNames::comNames())
            devices << PortNames::devicePath(name);
    } else if (PortNames::fromEnvironment()) {
        devices = PortNames::devicePaths();
    } else {
        for (const QString &path : PortNames::devicePaths()) {
            if (PortNames::isUsbAdapter(path))
                devices << path;
        }
    }
    devices.removeAll(QString());
    devices.removeDuplicates();
    return distinct(devices);
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

// One name per device, the first: a second opener of a device would break
// into the first one's write. The others are told, not opened.
QStringList MultiFlash::distinct(const QStringList &devices)
{
    QStringList kept;
    QList<DeviceId> ids;
    for (const QString &device : devices) {
        const DeviceId id = DeviceId::of(device);
        const qsizetype first = ids.indexOf(id);
        if (id.isValid() && first >= 0) {
            const QString port = PortNames::comName(device);
            reportPort(port, device, PortFault::sameDevice(port, device, PortNames::comName(kept.at(first))));
            continue;
        }
        kept << device;
        ids << id;
    }
    return kept;
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

void MultiFlash::probeRound()
{
    if (stopPolicy.stopAsked())
        return;
    const QStringList devices = watchedDevices();
    tellAdapterWait(devices);
    for (const QString &device : devices) {
        const bool known = std::any_of(watched.begin(), watched.end(),
                                       [&](const auto &slot) { return slot->device == device; });
        if (!known) {
            watched.push_back(std::make_unique<Slot>());
            watched.back()->device = device;
        }
    }
    // Also the ports a list no longer names: some drivers never list
    // theirs, and only a port that fails to open has lost its instrument.
    probing = true;
    for (const auto &slot : watched)
        if (!slot->probe && !(slot->session && slot->session->isRunning()))
            probe(*slot);
    probing = false;
    checkDone();
}

void MultiFlash::probe(Slot &slot)
{
    slot.port = PortNames::comName(slot.device);
    slot.session.reset();
    // By its COM name, so that what the port says names both.
    slot.probe = std::make_unique<PortProbe>(slot.port);
    connect(slot.probe.get(), &PortProbe::finished, this, [this, &slot] { onProbed(slot); });
    slot.probe->start(options.baudRate != 0 ? options.baudRate : Modem::DefaultBaudRate);
}

void MultiFlash::onProbed(Slot &slot)
{
    const PortProbe::Result result = slot.probe->result();
    if (result == PortProbe::Result::Unavailable) {
        // Gone, or taken: what answers there next is a new instrument.
        slot.armed = true;
        reportPort(slot.port, slot.device, slot.probe->modem().fault());
    }
    if (result != PortProbe::Result::Found) {
        const bool failedBefore = result == PortProbe::Result::NoReply && record.lastWriteUnfinished(slot.device);
        if (failedBefore && !options.watch)
            reporter.warn(FlasherText::stillWaiting(slot.port));
        retire(slot);
        checkDone();
        return;
    }
    noteAnswer(slot);
    const int version = slot.probe->firmwareVersion();
    if (options.mode == CliOptions::Mode::Info || !slot.armed || stopPolicy.stopAsked()) {
        if (options.mode == CliOptions::Mode::Info) {
            const PortIdentity identity = PortIdentity::of(slot.device);
            reporter.say(tr("%1  %2  %3  FW: %4")
                                 .arg(slot.port, slot.device, identityText(identity), VersionReply::versionText(version)));
            reporter.found(slot.port, slot.device, version);
            rows.push_back({slot.port, slot.device, identity.serialNumber, version, std::nullopt, 0, 0});
        }
        slot.probe->modem().closePort();
        retire(slot);
        checkDone();
        return;
    }
    startWrite(slot);
}

// A probe ends inside its port's signals (a reply, the write's last
// acknowledgement), which must not lose their port under them: it goes on
// the event loop's next turn.
void MultiFlash::retire(Slot &slot)
{
    retired.push_back(std::move(slot.probe));
    if (retired.size() == 1)
        QMetaObject::invokeMethod(this, [this] { retired.clear(); }, Qt::QueuedConnection);
}

// An instrument that was silent long enough since its last answer was
// taken off the fixture or switched off: what answers now is a new one.
void MultiFlash::noteAnswer(Slot &slot)
{
    const qint64 rearmAfterMs = qint64(options.rearmAfterSeconds) * 1000;
    if (slot.lastAnswer.isValid() && slot.lastAnswer.hasExpired(rearmAfterMs + RoundInterval.count()))
        slot.armed = true;
    slot.lastAnswer.start();
}

void MultiFlash::startWrite(Slot &slot)
{
    slot.armed = false;
    const int version = slot.probe->firmwareVersion();
    reporter.found(slot.port, slot.device, version);
    const WriteSession::Target target {slot.port, slot.device, version};
    slot.session = std::make_unique<WriteSession>(FlashRecord::ProgramFlasher, record);
    WriteSession *session = slot.session.get();
    session->fileAccepted(firmware.path(), firmware.loader());
    connect(session, &WriteSession::waiting, this, [this, &slot](int seconds) {
        showState(slot, ProgressPrinter::waitingText(seconds));
    });
    connect(session, &WriteSession::progressed, this, [this, &slot](int released, int total) {
        reporter.progress(slot.port, released, total);
        const int step = total / ProgressPrinter::PlainSteps;
        if (console.isTerminal() || (step > 0 && released % step == 0))
            showState(slot, DialogueText::blockProgress(released, total));
    });
    connect(session, &WriteSession::finished, this, [this, &slot] { onWritten(slot); });
    showState(slot, tr("%1, schreibe").arg(DialogueText::firmwareVersion(version)));
    session->start(slot.probe->modem().device(), target, firmware.image(), firmware.imageLength());
}

void MultiFlash::onWritten(Slot &slot)
{
    WriteSession &session = *slot.session;
    const FlashOutcome outcome = session.outcome();
    reporter.progress(slot.port, session.blocksSent(), session.blockTotal(), true);
    reporter.emitJson(QStringLiteral("outcome"), session.recordEntry());
    showState(slot, outcome.fullText());
    // The board's line may be too short for the whole reason.
    if (!outcome.isWritten() && console.isTerminal())
        reporter.warn(QStringLiteral("%1: %2").arg(slot.port, outcome.fullText()));
    rows.push_back({slot.port, slot.device, PortIdentity::of(slot.device).serialNumber,
                    slot.probe->firmwareVersion(), outcome, outcome.blockReached(), session.seconds()});
    slot.probe->modem().closePort();
    retire(slot);
    slot.lastAnswer.start();
    checkDone();
}

// The first stop also takes no new instrument in --watch.
void MultiFlash::onStopSignal(int number)
{
    roundTimer.stop();
    switch (stopPolicy.onSignal(number, anyRunning())) {
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
        for (const auto &slot : watched)
            if (slot->session && slot->session->isRunning())
                slot->session->interrupt();
        return;
    }
}

void MultiFlash::showState(Slot &slot, const QString &state)
{
    slot.state = state;
    if (reporter.isJson())
        return;
    if (!console.isTerminal()) {
        reporter.say(QStringLiteral("%1: %2").arg(slot.port, state));
        return;
    }
    if (!sinceRedraw.isValid() || sinceRedraw.hasExpired(WriteSession::ProgressInterval.count()) || !slot.session
        || !slot.session->isRunning())
        redraw();
}

void MultiFlash::redraw()
{
    sinceRedraw.start();
    QStringList lines;
    for (const auto &slot : watched) {
        if (slot->state.isEmpty())
            continue;
        QString text = slot->state;
        if (slot->session && slot->session->isRunning() && slot->session->blocksSent() > 0)
            text = ProgressPrinter::line(slot->session->blocksSent(), slot->session->blockTotal(),
                                         qint64(slot->session->seconds() * 1000), console.width() - 8, 20);
        lines << QStringLiteral("%1 %2").arg(slot->port, -6).arg(text);
    }
    console.board(lines);
}

bool MultiFlash::anyRunning() const
{
    return std::any_of(watched.begin(), watched.end(),
                       [](const auto &slot) { return slot->session && slot->session->isRunning(); });
}

void MultiFlash::checkDone()
{
    if (ended || probing || anyRunning() || record.isAppending())
        return;
    const bool probesPending = std::any_of(watched.begin(), watched.end(),
                                           [](const auto &slot) { return slot->probe && !slot->session; });
    if ((probesPending || options.watch) && !stopPolicy.stopAsked())
        return;
    ended = true;
    roundTimer.stop();
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
