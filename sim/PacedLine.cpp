#include "sim/PacedLine.h"

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr int BitsPerByte = 10; // start, 8 data, stop
constexpr std::chrono::nanoseconds::rep NanosPerSecond = 1'000'000'000;
constexpr int ReadChunk = 4096;

std::chrono::nanoseconds byteTimeAt(int baud)
{
    if (baud <= 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(BitsPerByte * NanosPerSecond / baud);
}

} // namespace

PacedLine::PacedLine(int fd, int baud)
    : m_fd(fd)
    , m_byteTime(byteTimeAt(baud))
{
}

// While paced and busy, the next byte is fetched at its slot; watching
// the descriptor then would only report data that is not due yet.
short PacedLine::pollEvents() const
{
    short events = 0;
    if (!paced() || m_receiveIdle)
        events |= POLLIN;
    if (m_sendBlocked)
        events |= POLLOUT;
    return events;
}

void PacedLine::noteReadable(SimTime now)
{
    if (!paced() || !m_receiveIdle)
        return;
    m_receiveIdle = false;
    m_arrivedAt = now;
    m_receiveNext = std::max(m_receiveNext, now + m_byteTime);
}

std::optional<SimTime> PacedLine::nextReceiveDue() const
{
    if (!paced() || m_receiveIdle)
        return std::nullopt;
    return m_receiveNext;
}

std::optional<PacedLine::Received> PacedLine::receiveOne()
{
    unsigned char byte = 0;
    if (::read(m_fd, &byte, 1) != 1) {
        m_receiveIdle = true;
        return std::nullopt;
    }
    const Received received{byte, m_receiveNext, m_arrivedAt};
    m_receiveNext += m_byteTime;
    return received;
}

QByteArray PacedLine::receiveAll()
{
    QByteArray data;
    char buffer[ReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return data;
    }
}

void PacedLine::transmit(const Transmission &transmission)
{
    for (int i = 0; i < transmission.bytes.size(); ++i) {
        const bool last = i == transmission.bytes.size() - 1;
        const SimTime start = std::max(transmission.notBefore, m_sendFree);
        m_sendFree = start + m_byteTime;
        m_out.push_back({transmission.bytes.at(i), m_sendFree, transmission.writeNumber,
                         last ? transmission.releasesBlock : 0});
    }
}

std::optional<SimTime> PacedLine::nextTransmitDue() const
{
    if (m_out.empty() || m_sendBlocked)
        return std::nullopt;
    return m_out.front().due;
}

std::vector<PacedLine::ReadySent> PacedLine::transmitDue(SimTime upTo)
{
    QByteArray run;
    for (const OutByte &out : m_out) {
        if (out.due > upTo)
            break;
        run.append(out.byte);
    }
    ssize_t written = 0;
    do
        written = ::write(m_fd, run.constData(), size_t(run.size()));
    while (written < 0 && errno == EINTR);
    if (written < 0) {
        // Full input queue on the far side: wait until it takes more.
        // Any other error means the line is gone and the bytes with it.
        m_sendBlocked = errno == EAGAIN;
        written = m_sendBlocked ? 0 : run.size();
    } else if (written < run.size()) {
        m_sendBlocked = true;
    }

    const SimTime now = SimClock::now();
    std::vector<ReadySent> sent;
    for (ssize_t i = 0; i < written; ++i) {
        if (m_out.front().releasesBlock != 0)
            sent.push_back({m_out.front().writeNumber, m_out.front().releasesBlock, now});
        m_out.pop_front();
    }
    return sent;
}
