#pragma once

#include "device/FlashOutcome.h"
#include "image/HexLoader.h"

// The flasher's process exit codes; scripts branch on them, so they never change.
namespace ExitCode {
constexpr int Success = 0;       // flash written, or file accepted by --check
constexpr int Usage = 1;         // wrong call, or the --image-out or --report-out file not writable
constexpr int FileRefused = 2;   // also --report: no record, or no line in it, readable
constexpr int NoInstrument = 3;
constexpr int WriteFailed = 4;
constexpr int Stopped = 5;       // a signal stopped it before the write was done

// A refused file, or a signal while it loaded (a pipe that waits).
inline int ofRefusedFile(const HexLoader &loader)
{
    return loader.interrupted() ? Stopped : FileRefused;
}

inline int of(const FlashOutcome &outcome)
{
    if (outcome.isWritten())
        return Success;
    return outcome.failure() == FlashOutcome::Failure::Interrupted ? Stopped : WriteFailed;
}
} // namespace ExitCode
