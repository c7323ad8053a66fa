#include "sim/SimOptions.h"
#include "sim/Simulator.h"

#include "zwversion.h"

#include <QCoreApplication>

#include <cstdio>

#include <sys/prctl.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zirbelwerk-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZW_VERSION));
    SimOptions options;
    QString error;
    if (!parseSimOptions(QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "zirbelwerk-sim: %s\n", qPrintable(error));
        return 2;
    }
    // The kernel's default 50 us slack on every timed wait would add up to
    // a visible drift over a thousand paced blocks.
    prctl(PR_SET_TIMERSLACK, 1UL);
    Simulator simulator(options);
    return simulator.run();
}
