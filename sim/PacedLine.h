#pragma once

#include "sim/SimClock.h"
#include "sim/Transmission.h"

#include <QByteArray>

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

// The instrument's end of a serial line, with the timing of a UART at a
// given rate: ten bit times per byte in each direction. At rate 0 bytes
// move as fast as the pseudo-terminal takes them.
//
// Paced times are scheduled against the monotonic clock, never by sleeping
// after the fact, so a late wake-up does not push later bytes back. A byte
// counts as received when its stop bit would be complete.
class PacedLine
{
public:
    struct Received
    {
        quint8 byte;
        SimTime at;      // its stop bit complete
        SimTime arrived; // the host's bytes it came with were first seen
    };
    struct ReadySent
    {
        int writeNumber;
        int block;
        SimTime at; // handed to the pseudo-terminal
    };

    PacedLine(int fd, int baud);

    bool paced() const { return m_byteTime.count() > 0; }
    short pollEvents() const;
    void noteReadable(SimTime now);
    void noteWritable() { m_sendBlocked = false; }

    // Paced: the slot of the next host byte, while the host keeps sending.
    std::optional<SimTime> nextReceiveDue() const;
    std::optional<Received> receiveOne();
    // Unpaced: everything the host has sent so far.
    QByteArray receiveAll();

    void transmit(const Transmission &transmission);
    std::optional<SimTime> nextTransmitDue() const;
    std::vector<ReadySent> transmitDue(SimTime upTo);

private:
    struct OutByte
    {
        char byte;
        SimTime due;
        int writeNumber;
        int releasesBlock;
    };

    int m_fd;
    std::chrono::nanoseconds m_byteTime;
    bool m_receiveIdle = true;
    SimTime m_receiveNext;
    SimTime m_arrivedAt;
    bool m_sendBlocked = false;
    SimTime m_sendFree;
    std::deque<OutByte> m_out;
};
