#include "station/StationWindow.h"

#include "closeguard/CloseGuard.h"
#include "device/DialogueText.h"
#include "device/WriteSession.h"
#include "report/FlashReport.h"
#include "serial/PortFault.h"
#include "serial/PortIdentity.h"
#include "station/SlotTile.h"
#include "stop/StopSignals.h"

#include "ui_StationWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTime>
#include <QUrl>

#include <cmath>

namespace {

// Above the tiles, read from a step back: larger than the desktop's text.
constexpr double HeaderScale = 1.4;
constexpr double StartAllScale = 1.8;
// A tile is read from a step back: two counts a second are plenty. All
// tiles show theirs at once, in one paint of the window.
constexpr std::chrono::milliseconds ProgressTick {500};

void enlarge(QWidget *widget, double scale, bool bold)
{
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    widget->setFont(font);
}

const QString WarningColour = QStringLiteral("color: #b05a00;");
const QString RefusedColour = QStringLiteral("color: #c81e1e; font-weight: bold;");

} // namespace

StationWindow::StationWindow(const StationFile &setup, QWidget *parent)
    : QMainWindow(parent),
      ui(std::make_unique<Ui::StationWindow>()),
      setup(setup),
      watch(FlashRecord::ProgramStation, record)
{
    ui->setupUi(this);
    connectControls();
    setUpHeader();
    // A close during a write would leave instruments half written.
    installEventFilter(new CloseGuard([this] { return writesRunning(); }, [this] { showCloseRefused(); }, this));
    connect(new StopSignals(this), &StopSignals::received, this, &StationWindow::stopRequested);
    connect(&record, &FlashRecord::appended, this, &StationWindow::onRecorded);
    showFirmware();
    updateTotals();
    followSlots();
}

void StationWindow::connectControls()
{
    connect(ui->actionSave, &QAction::triggered, this, &StationWindow::saveStationAsked);
    connect(ui->actionReport, &QAction::triggered, this, &StationWindow::reportAsked);
    connect(ui->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(ui->startAllButton, &QPushButton::clicked, this, &StationWindow::startAll);
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &StationWindow::startAll);
}

void StationWindow::setUpHeader()
{
    if (!setup.name.isEmpty())
        setWindowTitle(tr("ZirbelWerk Station - %1").arg(setup.name));
    ui->startAllButton->setVisible(!setup.automatic);
    for (QWidget *header : {static_cast<QWidget *>(ui->firmwareLabel), static_cast<QWidget *>(ui->warningsLabel),
                            static_cast<QWidget *>(ui->modeLabel)})
        enlarge(header, HeaderScale, false);
    enlarge(ui->totalsLabel, HeaderScale, true);
    enlarge(ui->startAllButton, StartAllScale, true);
    ui->modeLabel->setText(setup.automatic ? tr("Modus: automatisch (neu nach %1 s Stille)").arg(setup.rearmAfter.count())
                                           : tr("Modus: manuell (Enter startet alle bereiten Plaetze)"));
}

StationWindow::~StationWindow()
{
    disconnect(&record, nullptr, this, nullptr);
    disconnect(&watch, nullptr, this, nullptr);
}

void StationWindow::showFirmware()
{
    if (setup.firmware.isEmpty()) {
        ui->firmwareLabel->setText(tr("Keine Firmware: Datei beim Aufruf nennen oder \"Station speichern…\""));
        ui->firmwareLabel->setStyleSheet(RefusedColour);
        return;
    }
    if (!firmware.load(setup.firmware, setup.sha256)) {
        ui->firmwareLabel->setText(firmware.errorString());
        ui->firmwareLabel->setStyleSheet(RefusedColour);
        return;
    }
    // A bare HEX file pins nothing: the whole hash, for the engineer to compare.
    ui->firmwareLabel->setText(setup.sha256.isEmpty()
                                       ? tr("%1\nSHA-256 (nicht festgelegt): %2").arg(firmware.summary(), firmware.sha256())
                                       : firmware.summary());
    ui->warningsLabel->setText(firmware.loader().warningText());
    ui->warningsLabel->setStyleSheet(WarningColour);
}

void StationWindow::followSlots()
{
    watch.setScope(setup.ports.isEmpty() ? FleetWatch::Scope::Fixture : FleetWatch::Scope::Named, setup.ports);
    watch.setRearmAfter(setup.rearmAfter);
    watch.setAutoStart(setup.automatic);
    watch.setStation(setup.name);
    watch.setKeepSilentPortsOpen(true);
    watch.setWriting(firmware.isLoaded());
    if (firmware.isLoaded())
        watch.setFirmware(firmware.path(), firmware.loader());
    connect(&watch, &FleetWatch::slotAdded, this, &StationWindow::onSlotAdded);
    connect(&watch, &FleetWatch::portFault, this, &StationWindow::onPortFault);
    connect(&watch, &FleetWatch::answered, this, &StationWindow::onAnswered);
    connect(&watch, &FleetWatch::unanswered, this, &StationWindow::onUnanswered);
    connect(&watch, &FleetWatch::vacated, this, &StationWindow::onVacated);
    connect(&watch, &FleetWatch::writeStarted, this,
            [this](int slot) { slotTiles[size_t(slot)]->showWriting(0, 0); });
    connect(&watch, &FleetWatch::waiting, this,
            [this](int slot, int seconds) { slotTiles[size_t(slot)]->showWaitingForErase(seconds); });
    connect(&watch, &FleetWatch::progressed, this, [this](int slot, int released, int total) {
        slotTiles[size_t(slot)]->showWriting(released, total);
        if (!progressTick.isActive())
            progressTick.start();
    });
    progressTick.setInterval(ProgressTick);
    connect(&progressTick, &QTimer::timeout, this, &StationWindow::paintProgress);
    connect(&watch, &FleetWatch::written, this, &StationWindow::onWritten);
    watch.start(true);
}

QList<SlotTile *> StationWindow::tiles() const
{
    QList<SlotTile *> all(slotTiles.begin(), slotTiles.end());
    for (SlotTile *tile : secondNames)
        all << tile;
    return all;
}

SlotTile *StationWindow::tileOf(const QString &port) const
{
    for (SlotTile *tile : tiles())
        if (tile->port() == port)
            return tile;
    return nullptr;
}

QString StationWindow::firmwareText() const
{
    return ui->firmwareLabel->text();
}

SlotTile *StationWindow::addTile(const QString &port, const QString &device)
{
    auto *tile = new SlotTile(ui->tileArea);
    tile->setPort(port, PortIdentity::of(device).serialNumber);
    arrangeTiles();
    return tile;
}

// As square a grid as the slots make: 4 in 2 x 2, 16 in 4 x 4.
void StationWindow::arrangeTiles()
{
    const QList<SlotTile *> all = ui->tileArea->findChildren<SlotTile *>(QString(), Qt::FindDirectChildrenOnly);
    const int columns = qMax(1, int(std::ceil(std::sqrt(double(all.size())))));
    for (SlotTile *tile : all)
        ui->tileGrid->removeWidget(tile);
    for (int index = 0; index < all.size(); ++index) {
        ui->tileGrid->addWidget(all[index], index / columns, index % columns);
        ui->tileGrid->setRowStretch(index / columns, 1);
        ui->tileGrid->setColumnStretch(index % columns, 1);
        all[index]->show();
    }
}

void StationWindow::onSlotAdded(int slot)
{
    SlotTile *tile = addTile(watch.port(slot), watch.device(slot));
    tile->setStartShown(!setup.automatic);
    connect(tile, &SlotTile::startClicked, this, [this, slot] { watch.startReady(slot); });
    slotTiles.push_back(tile);
    slotCounts.emplace_back(0, 0);
}

// A write's red stays until its instrument is taken out: only a new
// instrument answering replaces it.
void StationWindow::onPortFault(int slot, const QString &port, const QString &device, const PortFault &fault)
{
    if (slot < 0) {
        SlotTile *&tile = secondNames[port];
        if (!tile)
            tile = addTile(port, device);
        tile->showPortFault(fault);
        return;
    }
    SlotTile *tile = slotTiles[size_t(slot)];
    const bool absent = fault.kind() == PortFault::Kind::Missing || fault.kind() == PortFault::Kind::NoSuchName;
    if (tile->state() == SlotTile::State::Failed || tile->state() == SlotTile::State::Written)
        return;
    if (absent)
        tile->showWaiting();
    else
        tile->showPortFault(fault);
}

void StationWindow::onAnswered(int slot, int version, bool ready)
{
    SlotTile *tile = slotTiles[size_t(slot)];
    // An instrument already written, or failed, stays as it ended.
    if (!ready && (tile->state() == SlotTile::State::Written || tile->state() == SlotTile::State::Failed))
        return;
    tile->showFound(version, ready);
}

void StationWindow::onUnanswered(int slot, PortProbe::Result result)
{
    SlotTile *tile = slotTiles[size_t(slot)];
    if (result != PortProbe::Result::Unavailable && tile->state() == SlotTile::State::Found)
        tile->showWaiting();
}

// A failed slot stays red after its instrument went quiet: a stuck
// instrument is as silent as a removed one. The next one replaces it.
void StationWindow::onVacated(int slot)
{
    if (slotTiles[size_t(slot)]->state() != SlotTile::State::Failed)
        slotTiles[size_t(slot)]->showWaiting();
}

void StationWindow::paintProgress()
{
    for (SlotTile *tile : slotTiles)
        tile->paintProgress();
    if (!writesRunning())
        progressTick.stop();
}

void StationWindow::onWritten(int slot)
{
    const FlashOutcome outcome = watch.session(slot)->outcome();
    SlotTile *tile = slotTiles[size_t(slot)];
    if (outcome.isWritten())
        tile->showWritten(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    else
        tile->showFailed(outcome);
    countAttempt(slot, outcome.isWritten());
}

void StationWindow::countAttempt(int slot, bool written)
{
    auto &[slotWritten, slotFailed] = slotCounts[size_t(slot)];
    (written ? slotWritten : slotFailed) += 1;
    (written ? totalWritten : totalFailed) += 1;
    slotTiles[size_t(slot)]->setCounts(slotWritten, slotFailed);
    updateTotals();
}

QString StationWindow::totalsText() const
{
    return ui->totalsLabel->text();
}

void StationWindow::updateTotals()
{
    const int attempts = totalWritten + totalFailed;
    const QString yield = attempts == 0 ? QStringLiteral("-")
                                        : QString::number(100.0 * totalWritten / attempts, 'f', 1) + QStringLiteral(" %");
    ui->totalsLabel->setText(tr("Gesamt: geschrieben %1   Fehler %2   Ausbeute %3")
                                     .arg(totalWritten).arg(totalFailed).arg(yield));
}

void StationWindow::onRecorded(bool written)
{
    if (!written)
        ui->statusBar->showMessage(record.errorString(), 0);
    quitWhenDone();
}

int StationWindow::startAll()
{
    return watch.startAllReady();
}

bool StationWindow::saveStation(const QString &hexPath, const QString &stationPath)
{
    StationFirmware picked;
    if (!picked.load(hexPath, QString())) {
        ui->statusBar->showMessage(picked.errorString(), 0);
        return false;
    }
    StationFile file = setup;
    file.firmware = QFileInfo(hexPath).absoluteFilePath();
    file.sha256 = picked.sha256();
    if (file.name.isEmpty())
        file.name = QFileInfo(stationPath).completeBaseName();
    if (!file.save(stationPath)) {
        ui->statusBar->showMessage(tr("Stationsdatei %1 nicht geschrieben").arg(QDir::toNativeSeparators(stationPath)), 0);
        return false;
    }
    ui->statusBar->showMessage(tr("Stationsdatei gespeichert: %1").arg(QDir::toNativeSeparators(stationPath)), 0);
    return true;
}

void StationWindow::saveStationAsked()
{
    const QString start = setup.firmware.isEmpty() ? QDir::homePath() : QFileInfo(setup.firmware).path();
    const QString hex = QFileDialog::getOpenFileName(this, tr("Firmware der Station"), start, tr("HEX-Datei (*.hex)"));
    if (hex.isEmpty())
        return;
    const QString proposed = QFileInfo(hex).path() + QLatin1Char('/') + QFileInfo(hex).completeBaseName()
            + QLatin1Char('.') + QLatin1String(StationFile::Extension);
    const QString path = QFileDialog::getSaveFileName(this, tr("Station speichern"), proposed,
                                                      tr("Stationsdatei (*.zwstation)"));
    if (!path.isEmpty())
        saveStation(hex, path);
}

QString StationWindow::writeReport()
{
    const FlashReport::Result result = FlashReport::run({{record.path()}, QString(), {}});
    if (result.status != FlashReport::Status::Written) {
        ui->statusBar->showMessage(result.error, 0);
        return {};
    }
    ui->statusBar->showMessage(tr("Bericht geschrieben: %1").arg(QDir::toNativeSeparators(result.page)), 0);
    return result.page;
}

void StationWindow::reportAsked()
{
    if (const QString page = writeReport(); !page.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

// A write stopped in the middle would leave an instrument half written:
// the station ends once the writes and their record lines are done, unless
// a second stop insists; then every write is stopped and recorded.
void StationWindow::stopRequested(int signalNumber)
{
    watch.stopTaking();
    switch (stopPolicy.onSignal(signalNumber, writesRunning())) {
    case StopPolicy::Action::EndNow:
        close();
        QCoreApplication::quit();
        return;
    case StopPolicy::Action::KeepWriting:
    case StopPolicy::Action::EndAfterWrites:
        quitAfterWrites = true;
        showCloseRefused();
        return;
    case StopPolicy::Action::InterruptWrites:
        quitAfterWrites = true;
        watch.interruptAll();
        return;
    }
}

void StationWindow::showCloseRefused()
{
    if (!closeNote) {
        closeNote = new QLabel(tr("Beenden erst nach dem Schreiben aller Plaetze!"));
        closeNote->setStyleSheet(RefusedColour);
        ui->statusBar->addPermanentWidget(closeNote);
    }
    closeNote->show();
}

void StationWindow::quitWhenDone()
{
    if (!writesRunning() && closeNote)
        closeNote->hide();
    if (quitAfterWrites && !writesRunning() && !record.isAppending()) {
        close();
        QCoreApplication::quit();
    }
}
