#include "cli/PortListing.h"

#include "serial/PortNames.h"

QStringList PortListing::rows()
{
    QStringList lines;
    for (const QString &name : PortNames::comNames()) {
        const QString path = PortNames::devicePath(name);
        if (!path.isEmpty())
            lines << QStringLiteral("%1 %2").arg(name, -6).arg(path);
    }
    return lines;
}
