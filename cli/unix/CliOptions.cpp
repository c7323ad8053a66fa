#include "cli/CliOptions.h"

#include "serial/PortNames.h"

CliOptions::SystemHelp CliOptions::systemHelp()
{
    return {tr("COMn oder Geraetepfad"), tr("Ports von --port, ZIRBELWERK_PORTS oder USB-Adapter"),
            tr("Ctrl-C, SIGTERM oder SIGHUP waehrend des Schreibens: es geht zu Ende;\n"
               "ein zweites Ctrl-C oder SIGTERM bricht ab (die HW bleibt halb beschrieben)."),
            tr("\n\nZIRBELWERK_PORTS=/dev/a:/dev/b:... legt fest, welches Geraet COM1, COM2, ... ist.")};
}

QString CliOptions::portRefusal(const QString &text)
{
    const int com = PortNames::comNumber(text);
    if ((com >= 1 && com <= PortNames::ComCount) || text.startsWith(QLatin1Char('/')))
        return {};
    return tr("--port %1 geht nicht: COM1 bis COM%2 oder ein Geraetepfad wie /dev/ttyUSB0").arg(text).arg(PortNames::ComCount);
}
