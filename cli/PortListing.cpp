#include "cli/PortListing.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "serial/PortNames.h"

int PortListing::print(Console &console)
{
    const QStringList listed = rows();
    for (const QString &row : listed)
        console.line(row);
    if (listed.isEmpty())
        console.line(tr("Keine seriellen Ports gefunden"));
    if (PortNames::fromEnvironment())
        console.line(tr("(aus %1)").arg(QLatin1String(PortNames::EnvironmentVariable)));
    return ExitCode::Success;
}
