#include "serial/PortIdentity.h"

#include "serial/SystemPorts.h"

namespace {

// The system lists each device once, by its own name, never by a link.
bool isPort(const SystemPorts::Port &port, const QString &resolvedPath)
{
    return port.name == resolvedPath || SystemPorts::canonical(port.path) == resolvedPath;
}

} // namespace

PortIdentity PortIdentity::of(const QString &devicePath)
{
    if (devicePath.isEmpty())
        return {};
    const QString resolved = SystemPorts::canonical(devicePath);
    for (const SystemPorts::Port &port : SystemPorts::list()) {
        if (isPort(port, resolved))
            return port.identity;
    }
    return {};
}

QString PortIdentity::hexId(std::optional<quint16> id)
{
    return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0')) : QString();
}

QString PortIdentity::usbText() const
{
    return vendorId ? QStringLiteral("USB %1:%2").arg(hexId(vendorId), hexId(productId)) : QString();
}
