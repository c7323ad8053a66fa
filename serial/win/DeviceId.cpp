#include "serial/DeviceId.h"

DeviceId DeviceId::of(const QString &devicePath)
{
    if (devicePath.isEmpty())
        return {};
    QString name = devicePath.toUpper();
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name.remove(0, 4);
    return DeviceId(name);
}
