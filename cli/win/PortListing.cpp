#include "cli/PortListing.h"

#include "serial/PortIdentity.h"
#include "serial/PortNames.h"

namespace {

// What Windows tells of the port, and nothing where it tells nothing.
QString described(const QString &name)
{
    const PortIdentity identity = PortIdentity::of(name);
    QStringList parts {QStringLiteral("%1").arg(name, -6)};
    if (!identity.description.isNull())
        parts << identity.description;
    if (identity.vendorId)
        parts << identity.usbText();
    if (!identity.serialNumber.isNull())
        parts << identity.serialNumber;
    return parts.join(QLatin1Char(' ')).trimmed();
}

} // namespace

// Every COM port Windows has; the search asks COM1 to COM50 of them.
QStringList PortListing::rows()
{
    QStringList lines;
    for (const QString &name : PortNames::devicePaths())
        lines << described(name);
    return lines;
}
