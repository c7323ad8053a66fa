#include "station/StationOptions.h"

#include "station/StationFile.h"

bool StationOptions::parse(const QStringList &arguments)
{
    error.clear();
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        if (!take(arguments, index))
            return false;
    }
    return true;
}

bool StationOptions::take(const QStringList &arguments, qsizetype &index)
{
    const QString &argument = arguments.at(index);
    if (argument == QLatin1String("--auto")) {
        automatic = true;
    } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
        help = true;
    } else if (argument == QLatin1String("--version")) {
        version = true;
    } else if (argument == QLatin1String("--rearm-after")) {
        bool number = false;
        const int seconds = arguments.value(++index).toInt(&number);
        if (!number || seconds < StationFile::RearmAfterShortest.count()
            || seconds > StationFile::RearmAfterLongest.count()) {
            error = tr("--rearm-after braucht Sekunden von %1 bis %2")
                            .arg(StationFile::RearmAfterShortest.count())
                            .arg(StationFile::RearmAfterLongest.count());
            return false;
        }
        rearmAfter = std::chrono::seconds(seconds);
    } else if (argument.startsWith(QLatin1String("--")) && argument.size() > 2) {
        error = tr("Unbekannte Option %1").arg(argument);
        return false;
    } else if (!file.isEmpty()) {
        error = tr("Nur eine Datei: %1 und %2").arg(file, argument);
        return false;
    } else {
        file = argument;
    }
    return true;
}

QString StationOptions::usage()
{
    return tr("Aufruf: zirbelwerk-station [STATIONSDATEI | HEX-DATEI] [--auto] [--rearm-after SEK]\n"
              "  STATIONSDATEI  .zwstation: Firmware, SHA-256, Modus und Plaetze\n"
              "  HEX-DATEI      die Firmware allein, ohne festen Hash; Modus manuell\n"
              "  --auto         jeder Platz schreibt, sobald HW antwortet\n"
              "  --rearm-after SEK  so lange stumm = neue HW (Standard %1)\n")
            .arg(StationFile::RearmAfterDefault.count());
}
