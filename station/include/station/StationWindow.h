#pragma once

#include "record/FlashRecord.h"
#include "device/PortProbe.h"
#include "fleet/FleetWatch.h"
#include "station/StationFile.h"
#include "station/StationFirmware.h"
#include "stop/StopPolicy.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>

#include <memory>
#include <vector>

class PortFault;
class QLabel;
class SlotTile;

namespace Ui {
class StationWindow;
}

// The production station: one tile per slot, every instrument in them
// written with the one firmware, automatically or at the press of Enter.
// FleetWatch does the probing and writing; the window shows it and counts.
class StationWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit StationWindow(const StationFile &setup, QWidget *parent = nullptr);
    ~StationWindow() override;

    bool firmwareAccepted() const { return firmware.isLoaded(); }
    // For tests with a quick or a stuck line.
    FleetWatch &fleet() { return watch; }
    // The tiles in slot order, then those of second names.
    QList<SlotTile *> tiles() const;
    SlotTile *tileOf(const QString &port) const;
    int writtenCount() const { return totalWritten; }
    int failedCount() const { return totalFailed; }
    QString totalsText() const;
    QString firmwareText() const;

    // Starts every ready slot (manual mode); how many started.
    int startAll();
    // A station file for the firmware at hexPath, in this station's mode.
    bool saveStation(const QString &hexPath, const QString &stationPath);
    // The record's report; the page's path, or empty with the reason shown.
    QString writeReport();

private:
    void connectControls();
    void setUpHeader();
    void showFirmware();
    void followSlots();
    SlotTile *addTile(const QString &port, const QString &device);
    void arrangeTiles();
    void onSlotAdded(int slot);
    void onPortFault(int slot, const QString &port, const QString &device, const PortFault &fault);
    void onAnswered(int slot, int version, bool ready);
    void onUnanswered(int slot, PortProbe::Result result);
    void onVacated(int slot);
    void paintProgress();
    void onWritten(int slot);
    void onRecorded(bool written);
    void countAttempt(int slot, bool written);
    void updateTotals();
    void saveStationAsked();
    void reportAsked();
    void stopRequested(int signalNumber);
    void showCloseRefused();
    void quitWhenDone();
    bool writesRunning() const { return watch.anyRunning(); }

    std::unique_ptr<Ui::StationWindow> ui;
    StationFile setup;
    StationFirmware firmware;
    FlashRecord record;
    FleetWatch watch;
    StopPolicy stopPolicy;
    std::vector<SlotTile *> slotTiles;
    std::vector<std::pair<int, int>> slotCounts; // written, failed
    QHash<QString, SlotTile *> secondNames;
    QLabel *closeNote = nullptr;
    QTimer progressTick;
    int totalWritten = 0;
    int totalFailed = 0;
    bool quitAfterWrites = false;
};
