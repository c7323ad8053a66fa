#include "serial/PortNames.h"

#include "serial/PortIdentity.h"
#include "serial/SystemPorts.h"

#include <algorithm>

// The system's own names, also those beyond the search's fifty.
QString PortNames::devicePath(const QString &comName)
{
    return comNumber(comName) > 0 ? comName : QString();
}

QStringList PortNames::devicePaths()
{
    QStringList names;
    for (const SystemPorts::Port &port : SystemPorts::list())
        names << port.name;
    return ordered(names);
}

QStringList PortNames::fixturePaths()
{
    return devicePaths();
}

bool PortNames::isUsbAdapter(const QString &devicePath)
{
    return PortIdentity::of(devicePath).vendorId.has_value();
}

QString PortNames::comName(const QString &devicePath)
{
    return devicePath;
}

bool PortNames::fromEnvironment()
{
    return false;
}

QStringList PortNames::ordered(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return comNumber(a) < comNumber(b); });
    return names;
}
