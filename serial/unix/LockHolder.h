#pragma once

#include <QString>

#include <sys/types.h>

// Who holds a port, as a user can look it up: "zirbelwerk-flash (PID 4711)".
// Empty where the system does not tell.
namespace LockHolder {

// The process with an flock on the file (dev, ino), from /proc/locks.
QString ofNode(dev_t device, ino_t inode);
QString ofProcess(qint64 pid);

} // namespace LockHolder
