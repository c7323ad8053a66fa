#include "i18n/Translation.h"
#include "startconsole/StartingConsole.h"
#include "station/StationFile.h"
#include "station/StationOptions.h"
#include "station/StationWindow.h"

#include "zwversion.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr int WrongCall = 1;

int refuse(const QString &why)
{
    StartingConsole::use();
    std::fputs(qPrintable(why + QLatin1Char('\n')), stderr);
    return WrongCall;
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        StartingConsole::use();
        std::puts("zirbelwerk-station " ZW_VERSION);
        return 0;
    }
    QApplication application(argc, argv);
    Translation::install(application);
    QApplication::setApplicationVersion(QStringLiteral(ZW_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zirbelwerk.ZirbelWerk.Station"));

    StationOptions options;
    if (!options.parse(QCoreApplication::arguments().mid(1)))
        return refuse(options.errorString() + QLatin1Char('\n') + StationOptions::usage());
    if (options.help) {
        StartingConsole::use();
        std::fputs(qPrintable(StationOptions::usage()), stdout);
        return 0;
    }
    StationFile setup;
    if (StationFile::isStationFile(options.file)) {
        if (!setup.load(options.file))
            return refuse(setup.errorString());
    } else if (!options.file.isEmpty()) {
        setup = StationFile::ofHexFile(options.file);
    }
    setup.automatic = setup.automatic || options.automatic;
    if (options.rearmAfter)
        setup.rearmAfter = *options.rearmAfter;

    StationWindow window(setup);
    window.show();
    return application.exec();
}
