#include "SerialLockFile.h"

#include "LockHolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// QSerialPort's own choice: the first readable folder that has the file
// or may get it.
QString lockFilePath(const QString &devicePath)
{
    const QStringList folders {
        QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("/LCK.."));
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        const QString path = folder + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

QString ownerName(uid_t owner)
{
    const passwd *entry = ::getpwuid(owner);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(owner);
}

// Never blocks (a FIFO) and never follows a link: -1 if it cannot be had so.
int openQuietly(const QByteArray &name)
{
    return ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

} // namespace

SerialLockFile::SerialLockFile(const QString &devicePath)
    : lockPath(lockFilePath(devicePath))
{
}

// QLockFile reads the lock file, and to remove a stale one its companion
// ".rmlock", without a time-out; neither may be anything but a regular file
// it can read. Another user's file in the shared folder cannot be removed:
// without a live holder it stands in the way for good.
QString SerialLockFile::obstacle() const
{
    if (lockPath.isEmpty())
        return {};
    for (const QString &path : {lockPath, lockPath + QStringLiteral(".rmlock")}) {
        if (const QString problem = problemWith(path); !problem.isEmpty())
            return problem;
    }
    struct stat status {};
    if (::lstat(QFile::encodeName(lockPath).constData(), &status) == 0 && status.st_uid != ::geteuid()
        && ::geteuid() != 0 && holder().isEmpty())
        return tr("die Sperrdatei %1 (von %2) ist verwaist; sie muss entfernt werden").arg(lockPath, ownerName(status.st_uid));
    return {};
}

QString SerialLockFile::problemWith(const QString &path)
{
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &status) != 0)
        return {};
    const QString owner = ownerName(status.st_uid);
    if (!S_ISREG(status.st_mode))
        return tr("die Sperrdatei %1 (von %2) ist keine gewoehnliche Datei; sie muss entfernt werden").arg(path, owner);
    const int fd = openQuietly(name);
    if (fd < 0)
        return tr("die Sperrdatei %1 (von %2) ist nicht lesbar; ist sie verwaist, muss sie entfernt werden").arg(path, owner);
    ::close(fd);
    return {};
}

QString SerialLockFile::holder() const
{
    const int fd = openQuietly(QFile::encodeName(lockPath));
    if (fd < 0)
        return {};
    char text[64] {};
    const ssize_t count = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (count <= 0)
        return {};
    return LockHolder::ofProcess(QByteArray(text, int(count)).split('\n').first().trimmed().toLongLong());
}
