#include "PtyPeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        closeAll();
        return;
    }
    slavePath = QString::fromLocal8Bit(ptsname(master));
    // Held open so the master never sees a hang-up between the port's opens.
    keepAlive = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    termios raw {};
    tcgetattr(keepAlive, &raw);
    cfmakeraw(&raw);
    tcsetattr(keepAlive, TCSANOW, &raw);
}

PtyPeer::~PtyPeer()
{
    closeAll();
}

void PtyPeer::closeAll()
{
    if (keepAlive >= 0)
        ::close(keepAlive);
    if (master >= 0)
        ::close(master);
    keepAlive = master = -1;
}

bool PtyPeer::send(const QByteArray &bytes)
{
    return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PtyPeer::lineSettings() const
{
    termios settings {};
    if (tcgetattr(keepAlive, &settings) != 0)
        return {};
    return QByteArray(reinterpret_cast<const char *>(&settings), sizeof settings);
}

bool PtyPeer::waitUntilQueued(int count, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    int queued = 0;
    while (::ioctl(keepAlive, FIONREAD, &queued) == 0 && queued < count) {
        if (deadline.hasExpired())
            return false;
        ::usleep(1000);
    }
    return queued >= count;
}

QByteArray PtyPeer::receive(int count, std::chrono::milliseconds timeout)
{
    QByteArray received;
    QDeadlineTimer deadline(timeout);
    while (received.size() < count && !deadline.hasExpired()) {
        // The port under test may only send from its event loop.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd fd {master, POLLIN, 0};
        if (::poll(&fd, 1, 5) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        received.append(buffer, int(n));
    }
    return received;
}
