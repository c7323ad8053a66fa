#include "cli/PortListing.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "serial/PortIdentity.h"
#include "serial/PortNames.h"

namespace {

#ifdef Q_OS_WIN
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
#endif

} // namespace

int PortListing::print(Console &console)
{
    int listed = 0;
#ifdef Q_OS_WIN
    // Every COM port Windows has; the search asks COM1 to COM50 of them.
    for (const QString &name : PortNames::devicePaths()) {
        console.line(described(name));
        ++listed;
    }
#else
    for (const QString &name : PortNames::comNames()) {
        const QString path = PortNames::devicePath(name);
        if (path.isEmpty())
            continue;
        console.line(QStringLiteral("%1 %2").arg(name, -6).arg(path));
        ++listed;
    }
#endif
    if (listed == 0)
        console.line(tr("Keine seriellen Ports gefunden"));
    if (PortNames::fromEnvironment())
        console.line(tr("(aus %1)").arg(QLatin1String(PortNames::EnvironmentVariable)));
    return ExitCode::Success;
}
