#include "device/StopPolicy.h"

#include <csignal>

StopPolicy::Action StopPolicy::onSignal(int signalNumber, bool writing)
{
    if (signalNumber == SIGHUP) {
        hungUp = true;
        return writing ? Action::EndAfterWrites : Action::EndNow;
    }
    ++stops;
    if (!writing)
        return Action::EndNow;
    return stops == 1 ? Action::KeepWriting : Action::InterruptWrites;
}
