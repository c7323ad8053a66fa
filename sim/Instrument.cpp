#include "sim/Instrument.h"

#include <QTextStream>

#include <algorithm>
#include <utility>

using namespace std::chrono_literals;

namespace {

const QByteArray QueryCommand = QByteArrayLiteral("@v;");
const QByteArray StartCommand = QByteArrayLiteral("@g#####;");
constexpr char ReadyByte = 0x6B;
constexpr char EmptyCell = '\xFF';
constexpr int AddressSize = 2;
constexpr int BlockSize = 64;
constexpr int FrameSize = AddressSize + BlockSize;
// A real firmware gives up on a block when the line stays quiet this long.
constexpr auto IncompleteBlockTimeout = 2s;

QString hex4(int value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, u'0');
}

} // namespace

Instrument::Instrument(const InstrumentSettings &settings)
    : m_settings(settings)
    , m_memory(MemorySize, EmptyCell)
{
    summariseTurnaround();
}

void Instrument::receive(quint8 byte, SimTime at, SimTime arrived)
{
    if (m_flashing)
        receiveFlash(byte, at, arrived);
    else
        parseCommand(byte, at);
}

std::optional<SimTime> Instrument::nextDeadline() const
{
    std::optional<SimTime> next;
    if (!m_pendingReady.empty())
        next = m_pendingReady.front().due;
    if (m_flashing && !m_frame.isEmpty()) {
        const SimTime giveUp = m_lastByteAt + IncompleteBlockTimeout;
        if (!next || giveUp < *next)
            next = giveUp;
    }
    return next;
}

void Instrument::fireNext(SimTime now)
{
    if (!m_pendingReady.empty() && m_pendingReady.front().due <= now) {
        const PendingReady ready = m_pendingReady.front();
        m_pendingReady.pop_front();
        releaseBlock(ready);
        return;
    }
    if (m_flashing && !m_frame.isEmpty() && now - m_lastByteAt >= IncompleteBlockTimeout)
        abandonWrite(m_blocks + 1);
}

std::vector<Transmission> Instrument::takeTransmissions()
{
    std::vector<Transmission> out;
    out.swap(m_transmissions);
    return out;
}

void Instrument::readyByteSent(int writeNumber, int block, SimTime at)
{
    if (m_flashing && writeNumber == m_writeNumber && block > m_readySent) {
        m_readySent = block;
        m_readySentAt = at;
    }
}

QString Instrument::report() const
{
    QString text;
    QTextStream out(&text);
    out << "writes=" << m_writes << '\n'
        << "blocks=" << m_blocks << '\n'
        << "end_marker=" << (m_endMarker ? 1 : 0) << '\n'
        << "queries=" << m_queries << '\n'
        << "violations=" << m_violations.size() << '\n';
    for (const QString &violation : m_violations)
        out << "violation=" << violation << '\n';
    if (m_settings.recordTurnaround)
        out << m_turnaroundSummary;
    out.flush();
    return text;
}

bool Instrument::takeReportChanged()
{
    return std::exchange(m_reportChanged, false);
}

bool Instrument::takeMemoryChanged()
{
    return std::exchange(m_memoryChanged, false);
}

// Any '@' starts a command afresh, so stray bytes cannot wedge the parser.
void Instrument::parseCommand(quint8 byte, SimTime at)
{
    if (byte == '@')
        m_command = QByteArray(1, '@');
    else if (!m_command.isEmpty())
        m_command.append(char(byte));
    else
        return;

    if (m_command == QueryCommand) {
        m_command.clear();
        answerQuery(at);
    } else if (m_command == StartCommand) {
        m_command.clear();
        startWrite(at);
    } else if (!QueryCommand.startsWith(m_command) && !StartCommand.startsWith(m_command)) {
        m_command.clear();
    }
}

void Instrument::answerQuery(SimTime at)
{
    if (!m_settings.answerQueries)
        return;
    if (!m_settings.versionReply.isEmpty())
        m_transmissions.push_back({m_settings.versionReply, at, 0, 0});
    ++m_queries;
    m_reportChanged = true;
}

void Instrument::startWrite(SimTime at)
{
    ++m_writeNumber;
    m_flashing = true;
    m_writeStarted = true;
    m_endMarker = false;
    m_memory.fill(EmptyCell);
    m_frame.clear();
    m_pendingReady.clear();
    m_blocks = 0;
    m_readySent = 0;
    m_earlyReportedBlock = 0;
    m_turnarounds.clear();
    m_lastByteAt = at;
    m_busyUntil = at;
    scheduleReady(1, m_settings.readyAtStart ? at : at + m_settings.eraseTime);
    m_reportChanged = true;
}

void Instrument::receiveFlash(quint8 byte, SimTime at, SimTime arrived)
{
    const int block = m_blocks + 1;
    m_lastByteAt = at;
    m_frame.append(char(byte));
    checkReleased(block);
    if (m_frame.size() == 1)
        noteTurnaround(block, arrived);

    if (m_frame.size() == AddressSize && frameIsEndMarkerSoFar()) {
        finishWrite();
        return;
    }
    if (m_frame.size() == AddressSize && !m_frame.startsWith(StartCommand.left(AddressSize)))
        checkAddress(block);
    if (m_frame.size() == StartCommand.size() && m_frame.startsWith(StartCommand.left(AddressSize))
        && !checkRestart(at))
        checkAddress(block);
    if (m_frame.size() == FrameSize)
        storeBlock(at);
}

// The end marker may follow the last block without waiting for a ready
// byte; everything else must wait for the byte that releases its block.
void Instrument::checkReleased(int block)
{
    if (m_readySent >= block || frameIsEndMarkerSoFar() || m_earlyReportedBlock == block)
        return;
    m_earlyReportedBlock = block;
    addViolation(QStringLiteral("block %1: host sent before the ready byte").arg(block));
}

// The end marker answers no ready byte of its own, so it has no turnaround.
void Instrument::noteTurnaround(int block, SimTime arrived)
{
    if (m_settings.recordTurnaround && block == m_readySent && !frameIsEndMarkerSoFar())
        m_turnarounds.push_back(arrived - m_readySentAt);
}

// Once a write is over, not per block: the report is rewritten after each.
void Instrument::summariseTurnaround()
{
    if (!m_settings.recordTurnaround)
        return;
    std::vector<std::chrono::nanoseconds> sorted = m_turnarounds;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    m_turnaroundSummary.clear();
    QTextStream out(&m_turnaroundSummary);
    out << "turnarounds=" << n << '\n';
    if (n == 0)
        return;
    const auto us = [](std::chrono::nanoseconds time) { return QString::number(double(time.count()) / 1e3, 'f', 1); };
    std::chrono::nanoseconds sum{0};
    for (const auto time : sorted)
        sum += time;
    const auto median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    const size_t p90Rank = (9 * n + 9) / 10; // nearest rank, ceil(0.9 n)
    out << "turnaround_mean_us=" << us(sum / std::chrono::nanoseconds::rep(n)) << '\n'
        << "turnaround_median_us=" << us(median) << '\n'
        << "turnaround_p90_us=" << us(sorted[p90Rank - 1]) << '\n'
        << "turnaround_max_us=" << us(sorted.back()) << '\n';
}

// A start command where an address belongs means the host began a new
// write on top of this one. Returns whether it did.
bool Instrument::checkRestart(SimTime at)
{
    if (m_frame != StartCommand || frameAddress() == expectedAddress())
        return false;
    addViolation(QStringLiteral("block %1: write started while another was unfinished")
                     .arg(m_blocks + 1));
    startWrite(at);
    return true;
}

void Instrument::checkAddress(int block)
{
    if (frameAddress() == expectedAddress())
        return;
    addViolation(QStringLiteral("block %1: address %2, expected %3")
                     .arg(block)
                     .arg(hex4(frameAddress()), hex4(expectedAddress())));
}

void Instrument::storeBlock(SimTime at)
{
    const int address = frameAddress();
    const int length = std::min(BlockSize, MemorySize - address);
    std::copy_n(m_frame.constBegin() + AddressSize, length, m_memory.begin() + address);
    m_frame.clear();
    ++m_blocks;
    m_reportChanged = true;
    // Writing starts once the block is in and the previous job is done.
    scheduleReady(m_blocks + 1, std::max(at, m_busyUntil) + m_settings.blockWriteTime);
}

void Instrument::scheduleReady(int block, SimTime due)
{
    m_pendingReady.push_back({block, due});
    m_busyUntil = due;
}

void Instrument::releaseBlock(const PendingReady &ready)
{
    if (ready.block == m_settings.hangupAtBlock) {
        m_hangupDue = true;
        m_reportChanged = true;
        return;
    }
    if (ready.block == m_settings.silentAtBlock)
        return;
    m_transmissions.push_back(
        {noiseFor(ready.block) + ReadyByte, ready.due, m_writeNumber, ready.block});
}

QByteArray Instrument::noiseFor(int block) const
{
    if (m_settings.noiseBlock != 0 && m_settings.noiseBlock != block)
        return {};
    QByteArray noise;
    for (int i = 0; i < m_settings.noiseCount; ++i) {
        // Varied values, so a host cannot get by with ignoring one of them.
        char value = char(0x6C + 37 * i);
        if (value == ReadyByte)
            value = 0;
        noise.append(value);
    }
    return noise;
}

void Instrument::finishWrite()
{
    m_flashing = false;
    m_endMarker = true;
    m_frame.clear();
    m_pendingReady.clear();
    ++m_writes;
    summariseTurnaround();
    m_memoryChanged = true;
    m_reportChanged = true;
}

void Instrument::abandonWrite(int block)
{
    addViolation(QStringLiteral("block %1: incomplete, %2 of %3 bytes, then silence")
                     .arg(block)
                     .arg(m_frame.size())
                     .arg(FrameSize));
    m_flashing = false;
    m_frame.clear();
    m_pendingReady.clear();
    summariseTurnaround();
    m_memoryChanged = true;
}

void Instrument::addViolation(const QString &text)
{
    m_violations.append(text);
    m_reportChanged = true;
}

int Instrument::frameAddress() const
{
    return quint8(m_frame.at(0)) | quint8(m_frame.at(1)) << 8;
}

int Instrument::expectedAddress() const
{
    return m_blocks * BlockSize;
}

bool Instrument::frameIsEndMarkerSoFar() const
{
    return m_frame.size() <= AddressSize && m_frame.count(EmptyCell) == m_frame.size();
}
