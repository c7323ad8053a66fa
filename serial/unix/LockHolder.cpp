#include "LockHolder.h"

#include <QFile>
#include <QFileInfo>

#include <sys/sysmacros.h>

namespace {

// "1: FLOCK  ADVISORY  WRITE 4711 00:05:1089 0 EOF"; waiters ("1: -> FLOCK")
// hold nothing.
qint64 flockHolder(const QByteArray &line, const QByteArray &node)
{
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 6 || fields.at(1) != "FLOCK" || fields.at(5) != node)
        return 0;
    return fields.at(4).toLongLong();
}

QByteArray firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.readLine(4096);
}

} // namespace

QString LockHolder::ofNode(dev_t device, ino_t inode)
{
    const QByteArray node = QString::asprintf("%02x:%02x:%llu", major(device), minor(device),
                                              static_cast<unsigned long long>(inode)).toLatin1();
    QFile locks(QStringLiteral("/proc/locks"));
    // Its size reads as 0: read until the end, not up to a size.
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    for (const QByteArray &line : locks.readAll().split('\n')) {
        if (const qint64 pid = flockHolder(line, node))
            return ofProcess(pid);
    }
    return {};
}

QString LockHolder::ofProcess(qint64 pid)
{
    if (pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
        return {};
    // The program's own name; comm is cut to 15 characters.
    QByteArray program = firstLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (const int end = program.indexOf('\0'); end >= 0)
        program.truncate(end);
    QString name = QFileInfo(QFile::decodeName(program)).fileName();
    if (name.isEmpty())
        name = QString::fromUtf8(firstLine(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed());
    return name.isEmpty() ? QStringLiteral("PID %1").arg(pid) : QStringLiteral("%1 (PID %2)").arg(name).arg(pid);
}
