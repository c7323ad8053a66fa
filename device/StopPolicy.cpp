#include "device/StopPolicy.h"

#include "device/StopSignals.h"

StopPolicy::Action StopPolicy::onSignal(int signalNumber, bool writing)
{
    if (signalNumber == StopSignals::HangUp) {
        hungUp = true;
        return writing ? Action::EndAfterWrites : Action::EndNow;
    }
    ++stops;
    if (!writing)
        return Action::EndNow;
    return stops == 1 ? Action::KeepWriting : Action::InterruptWrites;
}
