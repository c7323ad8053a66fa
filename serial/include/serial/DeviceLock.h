#pragma once

#include "serial/DeviceId.h"

#include <QString>

// One writer per device: an exclusive lock on the device itself, taken
// before anything touches its line. Every name of a device shares it, and
// root is held to it as anyone else (the terminal's exclusive mode does not
// hold root). The system drops it when its holder ends, however it ends.
// On Windows the exclusive open of the port does this for every program;
// the lock, a named object, keeps this program's openers apart also where
// a port's share mode is not enforced (Wine's serial devices).
class DeviceLock
{
public:
    DeviceLock() = default;
    ~DeviceLock();
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // False while another opener, in this process or another, holds it.
    // A device whose lock file cannot be made at all is not refused: the
    // port's own exclusive open still stands guard.
    bool take(const DeviceId &device);
    void release();
    bool isTaken() const { return holder != -1; }

    // Where the lock files are: /run/lock, else the temporary folder.
    static QString folder();

private:
    // The lock file's descriptor, or the named object's handle.
    qintptr holder = -1;
};
