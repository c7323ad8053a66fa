#include "cli/CliOptions.h"

#include "serial/PortNames.h"

CliOptions::SystemHelp CliOptions::systemHelp()
{
    return {tr("COM1 bis COM%1").arg(PortNames::WindowsComCount), tr("Ports von --port oder USB-Adapter"),
            tr("Ctrl-C oder Ctrl-Break waehrend des Schreibens: es geht zu Ende;\n"
               "ein zweites bricht ab (die HW bleibt halb beschrieben)."),
            QString()};
}

// Any COM port Windows has, also beyond the fifty the search asks.
QString CliOptions::portRefusal(const QString &text)
{
    const int com = PortNames::comNumber(text);
    if (com >= 1 && com <= PortNames::WindowsComCount)
        return {};
    return tr("--port %1 geht nicht: COM1 bis COM%2").arg(text).arg(PortNames::WindowsComCount);
}
