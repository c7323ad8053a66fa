#include "stop/StopPolicy.h"

#include "stop/StopSignals.h"

StopPolicy::Action StopPolicy::onSignal(int signalNumber, bool writing)
{
    // No time is left for the write to end: Windows ends the program.
    if (signalNumber == StopSignals::Closing) {
        ++stops;
        closed = true;
        return writing ? Action::InterruptWrites : Action::EndNow;
    }
    if (signalNumber == StopSignals::HangUp) {
        hungUp = true;
        return writing ? Action::EndAfterWrites : Action::EndNow;
    }
    ++stops;
    if (!writing)
        return Action::EndNow;
    return stops == 1 ? Action::KeepWriting : Action::InterruptWrites;
}
