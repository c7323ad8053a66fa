#pragma once

#include <QString>
#include <QtGlobal>

#include <limits>
#include <optional>

// The span a report covers, in milliseconds since the epoch: from its
// start up to, not including, its end.
class ReportPeriod
{
public:
    enum class Edge { Start, End };

    // "2024-05-06" is that local day: its first moment as a start, the next
    // day's as an end, so that a day given as both is that whole day. An
    // ISO date and time is that moment (local time unless it says its
    // zone), an end including it. Nothing when the text is neither.
    static std::optional<qint64> edge(const QString &text, Edge edge);

    bool contains(qint64 utcMs) const { return utcMs >= startMs && utcMs < endMs; }
    bool hasStart() const { return startMs != std::numeric_limits<qint64>::min(); }
    bool hasEnd() const { return endMs != std::numeric_limits<qint64>::max(); }

    qint64 startMs = std::numeric_limits<qint64>::min();
    qint64 endMs = std::numeric_limits<qint64>::max();
};
