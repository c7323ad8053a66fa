#pragma once

#include "sim/Instrument.h"

#include <QString>
#include <QStringList>

struct SimOptions
{
    InstrumentSettings instrument;
    int baud = 0;
    QString linkPath;
    QString memoryPath;
    QString reportPath;
};

// Reads the command line. Shows the help or the version and exits when
// asked to; returns false with a message for anything it cannot use.
bool parseSimOptions(const QStringList &arguments, SimOptions *options, QString *error);
