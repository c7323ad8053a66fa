#include "UsbInstanceId.h"

#include <QRegularExpression>

PortIdentity UsbInstanceId::parse(const QString &instanceId)
{
    static const QRegularExpression ids(QStringLiteral("^(USB|FTDIBUS)\\\\VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto match = ids.match(instanceId);
    PortIdentity identity;
    if (!match.hasMatch())
        return identity;
    identity.vendorId = quint16(match.captured(2).toUShort(nullptr, 16));
    identity.productId = quint16(match.captured(3).toUShort(nullptr, 16));
    if (!hasSerialNumber(instanceId))
        return identity;
    const bool ftdi = match.captured(1).compare(QLatin1String("FTDIBUS"), Qt::CaseInsensitive) == 0;
    // FTDI's own bus has it after the product ID: VID_0403+PID_6001+A50285BIA.
    identity.serialNumber = ftdi ? instanceId.section(QLatin1Char('\\'), 1, 1).section(QLatin1Char('+'), 2)
                                 : instanceId.section(QLatin1Char('\\'), 2);
    if (identity.serialNumber.isEmpty())
        identity.serialNumber = QString();
    return identity;
}

bool UsbInstanceId::hasSerialNumber(const QString &instanceId)
{
    const QString device = instanceId.section(QLatin1Char('\\'), 1, 1);
    if (device.contains(QLatin1String("&MI_"), Qt::CaseInsensitive))
        return false;
    if (instanceId.startsWith(QLatin1String("FTDIBUS\\"), Qt::CaseInsensitive))
        return device.count(QLatin1Char('+')) >= 2;
    const QString last = instanceId.section(QLatin1Char('\\'), 2);
    return !last.isEmpty() && !last.contains(QLatin1Char('&'));
}
