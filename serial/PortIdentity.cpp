#include "serial/PortIdentity.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

// The system lists each device once, by its own name, never by a link.
bool isPort(const QSerialPortInfo &info, const QString &resolvedPath)
{
    return info.portName() == resolvedPath || canonical(info.systemLocation()) == resolvedPath;
}

QString knownOrNull(const QString &text)
{
    return text.isEmpty() ? QString() : text;
}

} // namespace

PortIdentity PortIdentity::of(const QString &devicePath)
{
    PortIdentity identity;
    if (devicePath.isEmpty())
        return identity;
    const QString resolved = canonical(devicePath);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (!isPort(info, resolved))
            continue;
        if (info.hasVendorIdentifier())
            identity.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            identity.productId = info.productIdentifier();
        identity.serialNumber = knownOrNull(info.serialNumber());
        identity.description = knownOrNull(info.description());
        break;
    }
    return identity;
}

QString PortIdentity::hexId(std::optional<quint16> id)
{
    return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0')) : QString();
}
