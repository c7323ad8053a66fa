#pragma once

// What a stop signal (SIGINT, SIGTERM, SIGHUP) does while instruments are
// written: one policy for the window and the flasher, each of which only
// says it its own way. A write stopped halfway leaves the instrument stuck
// in it, so the first stop lets every running write end; a second SIGINT
// or SIGTERM stops them anyway. SIGHUP (the terminal is gone, the
// instrument is not) never stops a write. A console being closed (Windows)
// leaves no time to end a write: it is stopped, and its record line told.
class StopPolicy
{
public:
    enum class Action {
        EndNow,          // nothing is being written
        KeepWriting,     // tell the user the write goes on, end after it
        EndAfterWrites,  // quietly: end once the writes are done
        InterruptWrites, // stop the running writes now
    };

    Action onSignal(int signalNumber, bool writing);
    // Whether any stop came: take no new instrument.
    bool stopAsked() const { return stops > 0 || hungUp; }
    // The console is being closed (Windows): the program ends in seconds.
    bool closing() const { return closed; }

private:
    int stops = 0;
    bool hungUp = false;
    bool closed = false;
};
