#include "report/LocalDays.h"

#include <QDateTime>

namespace {
constexpr qint64 QuarterMs = 15 * 60 * 1000;
}

QDate LocalDays::dayOf(qint64 utcMs)
{
    const qint64 asked = utcMs >= 0 ? utcMs / QuarterMs : (utcMs - QuarterMs + 1) / QuarterMs;
    if (asked != quarter) {
        quarter = asked;
        day = QDateTime::fromMSecsSinceEpoch(asked * QuarterMs).toLocalTime().date();
    }
    return day;
}
