#pragma once

#include "device/PortProbe.h"
#include "device/WriteSession.h"
#include "serial/PortFault.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

class FlashRecord;
class HexLoader;

// Several ports followed at once, each a slot: its instrument asked for
// its version, and written once it is new to the slot. One name per
// device: a second name of a device already followed is told, never
// opened. An instrument that was silent for the re-arm time, or whose port
// went away, is new again when it answers. Front ends only show what it
// says; slots are numbered in the order they were first followed.
class FleetWatch : public QObject
{
    Q_OBJECT

public:
    // The ports are asked about about once a second while watching.
    static constexpr std::chrono::milliseconds RoundInterval {1000};

    enum class Scope {
        Named,    // the names given: COMn, device paths, USB serial numbers
        ComNames, // COM1 ... COM50
        Adapters, // ZIRBELWERK_PORTS, else the USB adapters
        Fixture,  // what a station reaches: adapters here, COM ports on Windows
    };

    // program: FlashRecord's name of the program writing.
    FleetWatch(const char *program, FlashRecord &record, QObject *parent = nullptr);
    ~FleetWatch() override;

    void setScope(Scope scope, const QStringList &names = {});
    void setBaudRate(int baudRate) { baud = baudRate; }
    void setRearmAfter(std::chrono::seconds seconds) { rearmAfter = seconds; }
    // Off: instruments are only asked and told (answered()), never written.
    void setWriting(bool on) { writing = on; }
    // Off: a new instrument waits, ready, for startReady().
    void setAutoStart(bool on) { autoStart = on; }
    // The station's name for the record; empty elsewhere.
    void setStation(const QString &name) { stationName = name; }
    // Keeps a silent slot's port open between rounds (a station, which owns
    // its fixture's ports): asking it again costs far less than opening it.
    void setKeepSilentPortsOpen(bool keep) { keepSilentOpen = keep; }
    // The file every write sends, as its loader accepted it; kept by the caller.
    void setFirmware(const QString &path, const HexLoader &loader);
    // For tests with a quick or a stuck line.
    void setReplyTimeouts(std::chrono::milliseconds first, std::chrono::milliseconds perBlock);

    // One round now; with repeat, a round every RoundInterval after it.
    void start(bool repeat);
    // No new instrument is taken from now on; running writes go on.
    void stopTaking();
    // Stops every running write at once; each gets its record line.
    void interruptAll();
    // Starts the write of a ready slot, or of every ready slot.
    bool startReady(int slot);
    int startAllReady();

    bool isTaking() const { return taking; }
    bool inRound() const { return probing; }
    bool anyRunning() const;
    bool probesPending() const;
    int slotCount() const { return int(followed.size()); }
    QString port(int slot) const { return at(slot).port; }
    QString device(int slot) const { return at(slot).device; }
    // Of the last answer in the slot.
    int firmwareVersion(int slot) const { return at(slot).version; }
    bool isReady(int slot) const { return at(slot).ready; }
    bool isWriting(int slot) const;
    // The slot's last write, or nullptr before it.
    const WriteSession *session(int slot) const { return at(slot).session.get(); }

signals:
    // Each round, the devices it follows.
    void devicesListed(const QStringList &devices);
    void slotAdded(int slot);
    // A port not opened; slot is -1 for a second name of a followed device.
    void portFault(int slot, const QString &port, const QString &device, const PortFault &fault);
    // An instrument answered and is not written now; ready: it waits for startReady().
    void answered(int slot, int version, bool ready);
    // Nothing answered in the slot (NoReply, Refused or Unavailable).
    void unanswered(int slot, PortProbe::Result result);
    // The slot's instrument has been silent for the re-arm time: taken out.
    void vacated(int slot);
    void writeStarted(int slot, int version);
    void waiting(int slot, int secondsWaited);
    void progressed(int slot, int blocksReleased, int blockTotal);
    // The slot's session holds the outcome and its record line.
    void written(int slot);
    // Something ended: a round, a probe, a write.
    void settled();

private:
    struct Slot
    {
        QString port;
        QString device;
        std::unique_ptr<PortProbe> probe;
        std::unique_ptr<PortProbe> silent; // its port kept open
        std::unique_ptr<WriteSession> session;
        QElapsedTimer lastAnswer;
        int version = 0;
        bool armed = true;
        bool present = false; // answered within the re-arm time
        bool ready = false;
        bool startAsked = false;
    };

    const Slot &at(int slot) const { return *followed.at(size_t(slot)); }
    QStringList followedDevices() const;
    QStringList distinct(const QStringList &devices);
    void round();
    void probe(int slot);
    void onProbed(int slot);
    void onAnswer(int slot);
    void retire(Slot &slot);
    void noteAnswer(Slot &slot);
    std::chrono::milliseconds silenceForNew() const;
    void startWrite(int slot);
    void onWritten(int slot);

    const char *program;
    FlashRecord &record;
    Scope scope = Scope::Adapters;
    QStringList names;
    int baud = Modem::DefaultBaudRate;
    std::chrono::seconds rearmAfter {3};
    std::chrono::milliseconds firstReplyTimeout = FlashWriter::FirstReplyTimeout;
    std::chrono::milliseconds blockReplyTimeout = FlashWriter::BlockReplyTimeout;
    bool writing = true;
    bool autoStart = true;
    bool taking = true;
    bool probing = false;
    bool keepSilentOpen = false;
    QString stationName;
    QString firmwarePath;
    const HexLoader *firmware = nullptr;
    std::vector<std::unique_ptr<Slot>> followed;
    std::vector<std::unique_ptr<PortProbe>> retired;
    QTimer roundTimer;
};
