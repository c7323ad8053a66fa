#pragma once

#include <QDate>
#include <QtGlobal>

// The local day of a UTC time on this machine, as a shift counts its days.
// Records run in time order, so the last quarter hour asked is kept: every
// time zone's offset is a whole number of quarter hours.
class LocalDays
{
public:
    QDate dayOf(qint64 utcMs);

private:
    qint64 quarter = -1;
    QDate day;
};
