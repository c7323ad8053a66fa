#pragma once

#include "sim/Instrument.h"
#include "sim/PacedLine.h"
#include "sim/PseudoTerminal.h"
#include "sim/ResultFiles.h"
#include "sim/SimOptions.h"

#include <memory>
#include <optional>

#include <signal.h>

// Runs the instrument on a pseudo-terminal until SIGTERM, SIGINT or SIGHUP,
// or until a hang-up it was told to make. Single-threaded: everything waits
// in one ppoll() on the line and the next due time, so an idle simulator
// uses no CPU.
class Simulator
{
public:
    explicit Simulator(const SimOptions &options);

    // The exit code: 0 after a stop by signal or an ordered hang-up.
    int run();

private:
    bool setUp();
    void handleSignals();
    void serviceDue(SimTime now);
    void receiveUnpaced(SimTime now);
    void collectTransmissions();
    void transmitDue(SimTime upTo, SimTime now);
    void waitForActivity();
    std::optional<SimTime> nextEventTime() const;
    void saveResults(bool final);

    SimOptions m_options;
    PseudoTerminal m_terminal;
    Instrument m_instrument;
    ResultFiles m_files;
    std::unique_ptr<PacedLine> m_line;
    sigset_t m_waitMask{};
};
