#include "cli/PortListing.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "serial/PortNames.h"

int PortListing::print(Console &console)
{
    const bool fromEnvironment = qEnvironmentVariableIsSet(PortNames::EnvironmentVariable);
    const QStringList names = PortNames::comNames();
    int listed = 0;
    for (const QString &name : names) {
        const QString path = PortNames::devicePath(name);
        if (path.isEmpty())
            continue;
        console.line(QStringLiteral("%1 %2").arg(name, -6).arg(path));
        ++listed;
    }
    if (listed == 0)
        console.line(tr("Keine seriellen Ports gefunden"));
    if (fromEnvironment)
        console.line(tr("(aus %1)").arg(QLatin1String(PortNames::EnvironmentVariable)));
    return ExitCode::Success;
}
