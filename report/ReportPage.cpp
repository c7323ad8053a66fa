#include "report/ReportPage.h"

#include "report/ReportCharts.h"

#include "device/FlashOutcome.h"
#include "zwversion.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTimeZone>

namespace {

QString localTime(qint64 utcMs, const QString &format = QStringLiteral("yyyy-MM-dd HH:mm:ss"))
{
    return QDateTime::fromMSecsSinceEpoch(utcMs).toLocalTime().toString(format);
}

QString cell(const QString &text)
{
    return QStringLiteral("<td>%1</td>").arg(text.toHtmlEscaped());
}

QString tile(const QString &label, const QString &figure, const QString &kind = QString())
{
    return QStringLiteral("<div class=\"tile %3\"><span class=\"figure\">%2</span><span>%1</span></div>")
            .arg(label.toHtmlEscaped(), figure.toHtmlEscaped(), kind);
}

RecordSummary::Tally sumOf(const QMap<QDate, RecordSummary::Tally> &days, const QDate &from, const QDate &to)
{
    RecordSummary::Tally sum;
    for (auto day = days.lowerBound(from); day != days.end() && day.key() <= to; ++day) {
        sum.written += day->written;
        sum.failed += day->failed;
    }
    return sum;
}

} // namespace

QString ReportPage::language()
{
    //: the language code of the report page (HTML lang)
    return tr("de");
}

QByteArray ReportPage::html(const RecordSummary &summary, const Source &source)
{
    const QLocale locale(language());
    const ReportCharts charts(summary, locale);
    QByteArray data = QJsonDocument(QJsonObject {{QStringLiteral("charts"), charts.all()}})
                              .toJson(QJsonDocument::Compact);
    // Nothing in the figures may end the script element or open a comment
    // in it; these characters stand only inside JSON strings.
    data.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026");
    QString page = QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\"><head><meta charset=\"utf-8\">"
                                  "<meta name=\"viewport\" content=\"width=device-width\">"
                                  "<title>%2</title><style>%3</style></head><body>\n")
                           .arg(language(), tr("Flash-Bericht").toHtmlEscaped(), resource(QStringLiteral("page.css")));
    page += header(summary, source, locale);
    page += tiles(summary, source.made.date(), locale);
    page += charts.html();
    page += failureTable(summary);
    page += QStringLiteral("<footer>%1</footer>\n")
                    .arg(tr("Erstellt von zirbelwerk-flash %1; Diagramme mit Chart.js (MIT-Lizenz)")
                                 .arg(QStringLiteral(ZW_VERSION))
                                 .toHtmlEscaped());
    page += QStringLiteral("<script type=\"application/json\" id=\"zw-data\">%1</script>\n")
                    .arg(QString::fromUtf8(data));
    page += QStringLiteral("<script>%1</script>\n<script>%2</script>\n</body></html>\n")
                    .arg(resource(QStringLiteral("chart.min.js")), resource(QStringLiteral("page.js")));
    return page.toUtf8();
}

QString ReportPage::header(const RecordSummary &summary, const Source &source, const QLocale &locale)
{
    QStringList records;
    for (const QString &record : source.records)
        records << QDir::toNativeSeparators(record).toHtmlEscaped();
    QString text = QStringLiteral("<header><h1>%1</h1><p>%2<br>%3<br>%4</p>")
                           .arg(tr("Flash-Bericht").toHtmlEscaped(),
                                periodText(summary, source.period).toHtmlEscaped(),
                                zoneText(source.made).toHtmlEscaped(),
                                tr("Protokoll: %1 (%2 Zeilen)")
                                        .arg(records.join(QStringLiteral(", ")),
                                             locale.toString(source.readableLines)));
    if (source.skippedLines > 0)
        text += QStringLiteral("<p class=\"warning\">%1</p>")
                        .arg(tr("Uebersprungen, weil nicht lesbar: %1 Zeilen").arg(source.skippedLines)
                                     .toHtmlEscaped());
    return text + QStringLiteral("</header>\n");
}

QString ReportPage::periodText(const RecordSummary &summary, const ReportPeriod &period)
{
    if (summary.total().total() == 0 && !period.hasStart() && !period.hasEnd())
        return tr("Zeitraum: keine Schreibvorgaenge");
    const QString from = period.hasStart() ? localTime(period.startMs, QStringLiteral("yyyy-MM-dd HH:mm"))
                                           : localTime(summary.firstMs(), QStringLiteral("yyyy-MM-dd HH:mm"));
    // The period's end is the first moment after it.
    const QString to = period.hasEnd() ? localTime(period.endMs - 1, QStringLiteral("yyyy-MM-dd HH:mm"))
                                       : localTime(summary.lastMs(), QStringLiteral("yyyy-MM-dd HH:mm"));
    return tr("Zeitraum: %1 bis %2").arg(from, to);
}

QString ReportPage::zoneText(const QDateTime &made)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return tr("Zeiten und Tage in Ortszeit, Zeitzone %1 (%2); erstellt %3")
            .arg(QString::fromUtf8(zone.id()), zone.displayName(made, QTimeZone::OffsetName),
                 made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QString ReportPage::tiles(const RecordSummary &summary, const QDate &today, const QLocale &locale)
{
    const RecordSummary::Tally &total = summary.total();
    const RecordSummary::Tally day = sumOf(summary.days(), today, today);
    const RecordSummary::Tally week = sumOf(summary.days(), today.addDays(1 - today.dayOfWeek()), today);
    const QString yield = total.total() ? locale.toString(total.yield() * 100, 'f', 1) + QStringLiteral(" %")
                                        : QStringLiteral("-");
    return QStringLiteral("<section class=\"tiles\">")
            + tile(tr("Schreibversuche"), locale.toString(total.total()))
            + tile(tr("geschrieben"), locale.toString(total.written), QStringLiteral("good"))
            + tile(tr("nicht geschrieben"), locale.toString(total.failed), QStringLiteral("bad"))
            + tile(tr("Ausbeute"), yield)
            + tile(tr("heute geschrieben"), locale.toString(day.written))
            + tile(tr("diese Woche geschrieben"), locale.toString(week.written))
            + QStringLiteral("</section>\n");
}

QString ReportPage::failureTable(const RecordSummary &summary)
{
    const QList<RecordSummary::Failure> failures = summary.lastFailures();
    QString text = QStringLiteral("<section class=\"failures\"><h2>%1</h2>")
                           .arg(tr("Die letzten %1 Fehlschlaege").arg(RecordSummary::LastFailureCount).toHtmlEscaped());
    if (failures.isEmpty())
        return text + QStringLiteral("<p class=\"note\">%1</p></section>\n").arg(tr("keine im Zeitraum").toHtmlEscaped());
    text += QStringLiteral("<table><thead><tr>");
    for (const QString &title : {tr("Zeit"), tr("Station"), tr("Port"), tr("Firmware"), tr("Block"), tr("Grund"),
                                 tr("Meldung und was zu tun ist")})
        text += QStringLiteral("<th>%1</th>").arg(title.toHtmlEscaped());
    text += QStringLiteral("</tr></thead><tbody>\n");
    for (const RecordSummary::Failure &failure : failures)
        text += failureRow(failure);
    return text + QStringLiteral("</tbody></table></section>\n");
}

// The advice from the failure's code, in this program's language: the
// line's message is in the language of the program that wrote it.
QString ReportPage::failureRow(const RecordSummary::Failure &failure)
{
    const FlashOutcome outcome = FlashOutcome::ofCode(failure.code, failure.block, failure.blocks);
    const QString advice = outcome.isWritten() ? tr("unbekannter Grund") : outcome.fullText();
    const QString block = failure.block > 0 ? QStringLiteral("%1 / %2").arg(failure.block).arg(failure.blocks)
                                            : QStringLiteral("-");
    return QStringLiteral("<tr>") + cell(localTime(failure.utcMs)) + cell(failure.station) + cell(failure.port)
            + cell(failure.file) + cell(block) + cell(failure.code) + cell(advice) + QStringLiteral("</tr>\n");
}

QString ReportPage::resource(const QString &name)
{
    QFile file(QStringLiteral(":/report/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
