#include "serial/DeviceId.h"

#include <QFile>

#include <sys/stat.h>
#include <sys/sysmacros.h>

DeviceId DeviceId::of(const QString &devicePath)
{
    if (devicePath.isEmpty())
        return {};
    struct stat status {};
    if (::stat(QFile::encodeName(devicePath).constData(), &status) != 0)
        return {};
    if (S_ISCHR(status.st_mode))
        return DeviceId(QStringLiteral("c%1-%2").arg(major(status.st_rdev)).arg(minor(status.st_rdev)));
    // Not a device: open() will say so; the file itself is what it names.
    return DeviceId(QStringLiteral("f%1-%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino)));
}
