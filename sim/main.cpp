#include "sim/SimOptions.h"
#include "sim/Simulator.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zirbelwerk-sim"));
    SimOptions options;
    QString error;
    if (!parseSimOptions(QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "zirbelwerk-sim: %s\n", qPrintable(error));
        return 2;
    }
    Simulator simulator(options);
    return simulator.run();
}
