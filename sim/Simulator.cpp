#include "sim/Simulator.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <poll.h>
#include <sys/prctl.h>
#include <time.h>

using namespace std::chrono_literals;

namespace {

volatile sig_atomic_t stopSignal = 0;

void noteStopSignal(int signal)
{
    stopSignal = signal;
}

const int StopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Guards against spinning should the master ever report a hang-up.
constexpr auto HangupBackoff = 10ms;

timespec toTimespec(std::chrono::nanoseconds duration)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return {time_t(seconds.count()), long((duration - seconds).count())};
}

void warn(const QString &text)
{
    std::fprintf(stderr, "zirbelwerk-sim: %s\n", qPrintable(text));
}

} // namespace

Simulator::Simulator(const SimOptions &options)
    : m_options(options)
    , m_instrument(options.instrument)
    , m_files(options.memoryPath, options.reportPath)
{
}

int Simulator::run()
{
    if (!setUp())
        return 1;
    while (stopSignal == 0) {
        serviceDue(SimClock::now());
        if (m_instrument.hangupDue())
            break;
        saveResults(false);
        waitForActivity();
    }
    // An ordered hang-up: the host must see the line drop before anything else.
    if (m_instrument.hangupDue())
        m_terminal.close();
    saveResults(true);
    m_terminal.close();
    return 0;
}

bool Simulator::setUp()
{
    handleSignals();
    // The default slack of 50 us would be a third of a byte at 57600 baud.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    QString error;
    if (!m_terminal.open(&error)
        || (!m_options.linkPath.isEmpty() && !m_terminal.link(m_options.linkPath, &error))) {
        warn(error);
        return false;
    }
    m_line = std::make_unique<PacedLine>(m_terminal.masterFd(), m_options.baud);
    saveResults(false);
    std::printf("%s\n", QFile::encodeName(m_terminal.slavePath()).constData());
    std::fflush(stdout);
    return true;
}

// The stop signals stay blocked except inside ppoll(), so one can never
// slip in between the check of the flag and the wait.
void Simulator::handleSignals()
{
    sigset_t blocked;
    sigemptyset(&blocked);
    struct sigaction action{};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : StopSignals) {
        sigaddset(&blocked, signal);
        sigaction(signal, &action, nullptr);
    }
    sigprocmask(SIG_BLOCK, &blocked, &m_waitMask);
    for (const int signal : StopSignals)
        sigdelset(&m_waitMask, signal);
}

// Handles everything that is due, earliest first. On a tie the host byte
// goes first and the output last: a host byte that arrives in the same
// instant as a ready byte leaves was sent without having seen it.
void Simulator::serviceDue(SimTime now)
{
    if (!m_line->paced())
        receiveUnpaced(now);
    while (!m_instrument.hangupDue()) {
        const auto receive = m_line->nextReceiveDue();
        const auto fire = m_instrument.nextDeadline();
        const auto send = m_line->nextTransmitDue();
        if (receive && *receive <= now && (!fire || *receive <= *fire)
            && (!send || *receive <= *send)) {
            if (const auto received = m_line->receiveOne())
                m_instrument.receive(received->byte, received->at, received->arrived);
            collectTransmissions();
        } else if (fire && *fire <= now && (!send || *fire <= *send)) {
            m_instrument.fireNext(*fire);
            collectTransmissions();
        } else if (send && *send <= now) {
            SimTime upTo = now;
            if (receive)
                upTo = std::min(upTo, *receive - 1ns);
            if (fire)
                upTo = std::min(upTo, *fire - 1ns);
            transmitDue(upTo, now);
        } else {
            break;
        }
    }
}

void Simulator::receiveUnpaced(SimTime now)
{
    const QByteArray data = m_line->receiveAll();
    for (const char byte : data)
        m_instrument.receive(quint8(byte), now, now);
    collectTransmissions();
}

void Simulator::collectTransmissions()
{
    for (const Transmission &transmission : m_instrument.takeTransmissions())
        m_line->transmit(transmission);
}

void Simulator::transmitDue(SimTime upTo, SimTime now)
{
    // Unpaced, whatever the host sent up to this instant came before the
    // output that is about to leave.
    if (!m_line->paced())
        receiveUnpaced(now);
    for (const PacedLine::ReadySent &sent : m_line->transmitDue(upTo))
        m_instrument.readyByteSent(sent.writeNumber, sent.block, sent.at);
}

void Simulator::waitForActivity()
{
    pollfd line{m_terminal.masterFd(), m_line->pollEvents(), 0};
    timespec timeout{};
    const auto next = nextEventTime();
    if (next)
        timeout = toTimespec(std::max(std::chrono::nanoseconds(0), *next - SimClock::now()));
    if (::ppoll(&line, 1, next ? &timeout : nullptr, &m_waitMask) <= 0)
        return;
    if (line.revents & POLLIN)
        m_line->noteReadable(SimClock::now());
    if (line.revents & POLLOUT)
        m_line->noteWritable();
    if (line.revents & (POLLHUP | POLLERR)) {
        const timespec pause = toTimespec(HangupBackoff);
        ::nanosleep(&pause, nullptr);
    }
}

std::optional<SimTime> Simulator::nextEventTime() const
{
    std::optional<SimTime> next;
    for (const auto &candidate :
         {m_line->nextReceiveDue(), m_instrument.nextDeadline(), m_line->nextTransmitDue()}) {
        if (candidate && (!next || *candidate < *next))
            next = candidate;
    }
    return next;
}

void Simulator::saveResults(bool final)
{
    const bool memoryDue = m_instrument.takeMemoryChanged() || (final && m_instrument.writeInProgress());
    if (memoryDue && !m_files.writeMemory(m_instrument.memory()))
        warn(QStringLiteral("cannot write %1").arg(m_options.memoryPath));
    if ((m_instrument.takeReportChanged() || final) && !m_files.writeReport(m_instrument.report()))
        warn(QStringLiteral("cannot write %1").arg(m_options.reportPath));
}
