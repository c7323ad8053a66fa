#pragma once

#include "serial/PortFault.h"

#include <QString>
#include <QtGlobal>

// One writer per device, taken before anything touches its line. On Linux
// an exclusive flock on the device node itself: every name of a device
// (a link, /dev/serial/by-id/...) reaches the same node, no other user can
// plant or take it, root is held to it as anyone else (the terminal's
// exclusive mode does not hold root), and the system drops it when its
// holder ends, however it ends. On Windows the port's exclusive open does
// this across programs; a named object of the user's session keeps this
// program's openers apart also where a port's share mode is not enforced
// (Wine's serial devices).
class DeviceLock
{
public:
    DeviceLock() = default;
    ~DeviceLock();
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Fails closed: a fault (held, with its holder where the system can
    // tell; no access; not a serial device; missing) whenever exclusive use
    // cannot be established, and the port must then not be opened. The
    // device's line settings are left as they are either way.
    PortFault take(const QString &name, const QString &path);
    void release();
    bool isTaken() const { return holder != -1; }

private:
    // The locked node's descriptor, or the named object's handle.
    qintptr holder = -1;
};
