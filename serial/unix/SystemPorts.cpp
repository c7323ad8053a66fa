#include "serial/SystemPorts.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

QString knownOrNull(const QString &text)
{
    return text.isEmpty() ? QString() : text;
}

} // namespace

QList<SystemPorts::Port> SystemPorts::list()
{
    QList<Port> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        Port port {info.systemLocation(), info.portName(), {}};
        if (info.hasVendorIdentifier())
            port.identity.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.identity.productId = info.productIdentifier();
        port.identity.serialNumber = knownOrNull(info.serialNumber());
        port.identity.description = knownOrNull(info.description());
        ports << port;
    }
    return ports;
}

QString SystemPorts::canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}
