#include "serial/DeviceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Other users' lock files in a sticky folder may not be opened with O_CREAT
// (protected_regular), so the file is created only when it is missing.
int openLockFile(const QByteArray &path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            ::fchmod(fd, 0666); // past the umask: every user's opener shares it
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}
#endif

} // namespace

DeviceLock::~DeviceLock()
{
    release();
}

QString DeviceLock::folder()
{
    const QFileInfo runLock(QStringLiteral("/run/lock"));
    return runLock.isDir() && runLock.isWritable() ? runLock.filePath() : QDir::tempPath();
}

bool DeviceLock::take(const DeviceId &device)
{
    release();
#ifdef Q_OS_UNIX
    if (!device.isValid())
        return true;
    const QString path = QStringLiteral("%1/zirbelwerk-%2.lock").arg(folder(), device.key());
    const int fd = openLockFile(QFile::encodeName(path));
    if (fd < 0)
        return true;
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    holder = fd;
#elif defined(Q_OS_WIN)
    if (!device.isValid())
        return true;
    // Exists exactly as long as a holder has it open, in any session.
    const std::wstring name = QStringLiteral("Global\\zirbelwerk-%1").arg(device.key()).toStdWString();
    const HANDLE object = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!object)
        return true;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(object);
        return false;
    }
    holder = reinterpret_cast<qintptr>(object);
#else
    Q_UNUSED(device);
#endif
    return true;
}

void DeviceLock::release()
{
#if defined(Q_OS_UNIX)
    if (holder != -1)
        ::close(int(holder));
#elif defined(Q_OS_WIN)
    if (holder != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(holder));
#endif
    holder = -1;
}
