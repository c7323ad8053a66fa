#include "serial/DeviceLock.h"

#include "LockHolder.h"
#include "SerialLockFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why the node could not be opened to be locked. EBUSY: another opener
// set the terminal's exclusive mode.
PortFault openFault(int reason, const QString &name, const QString &path)
{
    switch (reason) {
    case ENOENT:
    case ENODEV:
        return PortFault::missing(name, path);
    case EACCES:
    case EPERM:
        return PortFault::noAccess(name, path);
    case EBUSY: {
        struct stat status {};
        const bool known = ::stat(QFile::encodeName(path).constData(), &status) == 0;
        QString holder = known ? LockHolder::ofNode(status.st_dev, status.st_ino) : QString();
        if (holder.isEmpty())
            holder = SerialLockFile(path).holder();
        return PortFault::held(name, path, holder);
    }
    case ENXIO:
    case ENOTTY:
        return PortFault::notSerial(name, path);
    default:
        return PortFault::other(name, path, qt_error_string(reason));
    }
}

int lockExclusively(int fd)
{
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

} // namespace

DeviceLock::~DeviceLock()
{
    release();
}

PortFault DeviceLock::take(const QString &name, const QString &path)
{
    release();
    // Non-blocking: a FIFO behind the name must not hang the opener. A
    // terminal's settings stay as they are when it is opened again.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return openFault(errno, name, path);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        ::close(fd);
        return PortFault::notSerial(name, path);
    }
    if (const int reason = lockExclusively(fd)) {
        ::close(fd);
        if (reason == EWOULDBLOCK)
            return PortFault::held(name, path, LockHolder::ofNode(status.st_dev, status.st_ino));
        return PortFault::other(name, path, qt_error_string(reason));
    }
    holder = fd;
    // QSerialPort reads its own lock file without a time-out.
    const QString obstacle = SerialLockFile(path).obstacle();
    if (!obstacle.isEmpty()) {
        release();
        return PortFault::blocked(name, path, obstacle);
    }
    return {};
}

void DeviceLock::release()
{
    if (holder != -1)
        ::close(int(holder));
    holder = -1;
}
