#include "report/ReportPeriod.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

std::optional<qint64> ReportPeriod::edge(const QString &text, Edge edge)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() == 10) {
        const QDate day = QDate::fromString(trimmed, Qt::ISODate);
        if (!day.isValid())
            return std::nullopt;
        const QDate first = edge == Edge::Start ? day : day.addDays(1);
        return first.startOfDay().toMSecsSinceEpoch();
    }
    if (trimmed.size() < 16 || trimmed.at(10) != QLatin1Char('T'))
        return std::nullopt;
    const QDateTime moment = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (!moment.isValid())
        return std::nullopt;
    return moment.toMSecsSinceEpoch() + (edge == Edge::End ? 1 : 0);
}
