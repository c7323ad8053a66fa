#pragma once

#include "sim/SimClock.h"
#include "sim/Transmission.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

struct InstrumentSettings
{
    QByteArray versionReply;
    bool answerQueries = true;
    std::chrono::milliseconds eraseTime{50};
    std::chrono::milliseconds blockWriteTime{0};
    int noiseCount = 0;
    int noiseBlock = 0;    // 0: noise before every ready byte
    bool readyAtStart = false;
    int silentAtBlock = 0; // 0: never
    int hangupAtBlock = 0; // 0: never
    bool recordTurnaround = false;
};

// The instrument's firmware as seen from the serial line: answers the
// version query, runs the flash dialogue into a 64 KiB memory and records
// every way in which the host breaks the dialogue.
//
// Time comes from the caller: receive() gets the moment a host byte was
// complete on the line and the moment it reached the line's end,
// fireNext() is called when nextDeadline() has come, readyByteSent() when
// a ready byte has been handed to the line. Blocks are numbered from 1;
// ready byte n releases block n.
//
// With recordTurnaround, the report also sums up the host's turnaround per
// block of the last write: from a ready byte handed to the line until the
// first byte of its block reaches the line.
class Instrument
{
public:
    static constexpr int MemorySize = 0x10000;

    explicit Instrument(const InstrumentSettings &settings);

    void receive(quint8 byte, SimTime at, SimTime arrived);
    std::optional<SimTime> nextDeadline() const;
    void fireNext(SimTime now);
    std::vector<Transmission> takeTransmissions();
    void readyByteSent(int writeNumber, int block, SimTime at);

    bool hangupDue() const { return m_hangupDue; }
    bool writeStarted() const { return m_writeStarted; }
    bool writeInProgress() const { return m_flashing; }
    const QByteArray &memory() const { return m_memory; }
    QString report() const;

    // Whether the report or the memory changed since the last call.
    bool takeReportChanged();
    bool takeMemoryChanged();

private:
    struct PendingReady
    {
        int block;
        SimTime due;
    };

    void parseCommand(quint8 byte, SimTime at);
    void answerQuery(SimTime at);
    void startWrite(SimTime at);
    void receiveFlash(quint8 byte, SimTime at, SimTime arrived);
    void noteTurnaround(int block, SimTime arrived);
    void summariseTurnaround();
    void checkReleased(int block);
    bool checkRestart(SimTime at);
    void checkAddress(int block);
    void storeBlock(SimTime at);
    void scheduleReady(int block, SimTime due);
    void releaseBlock(const PendingReady &ready);
    QByteArray noiseFor(int block) const;
    void finishWrite();
    void abandonWrite(int block);
    void addViolation(const QString &text);
    int frameAddress() const;
    int expectedAddress() const;
    bool frameIsEndMarkerSoFar() const;

    InstrumentSettings m_settings;
    QByteArray m_memory;
    QByteArray m_command;
    QByteArray m_frame;
    std::deque<PendingReady> m_pendingReady;
    std::vector<Transmission> m_transmissions;
    QStringList m_violations;
    SimTime m_busyUntil;
    SimTime m_lastByteAt;
    SimTime m_readySentAt;
    std::vector<std::chrono::nanoseconds> m_turnarounds;
    QString m_turnaroundSummary;
    bool m_flashing = false;
    bool m_writeStarted = false;
    bool m_endMarker = false;
    bool m_hangupDue = false;
    bool m_reportChanged = true;
    bool m_memoryChanged = false;
    int m_writeNumber = 0;
    int m_blocks = 0;
    int m_readySent = 0;
    int m_earlyReportedBlock = 0;
    int m_writes = 0;
    int m_queries = 0;
};
