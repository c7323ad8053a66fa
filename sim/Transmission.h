#pragma once

#include "sim/SimClock.h"

#include <QByteArray>

// Bytes the instrument puts on the line, in order, not before notBefore.
// When releasesBlock is set, the last byte is the ready byte for that block
// of write number writeNumber, and the line reports when it has gone out.
struct Transmission
{
    QByteArray bytes;
    SimTime notBefore;
    int writeNumber = 0;
    int releasesBlock = 0;
};
