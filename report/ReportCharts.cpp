#include "report/ReportCharts.h"

#include <QLocale>

#include <algorithm>
#include <limits>

namespace {

const QString WrittenColour = QStringLiteral("#2e7d32");
const QString FailedColour = QStringLiteral("#c62828");
const QStringList Palette {QStringLiteral("#1565c0"), QStringLiteral("#ef6c00"), QStringLiteral("#6a1b9a"),
                           QStringLiteral("#00838f"), QStringLiteral("#9e9d24"), QStringLiteral("#5d4037")};

QJsonObject dataset(const QString &label, const QJsonArray &data, const QString &colour)
{
    return {{QStringLiteral("label"), label}, {QStringLiteral("data"), data}, {QStringLiteral("color"), colour}};
}

QJsonObject chartOf(const QJsonArray &labels, const QJsonArray &datasets)
{
    return {{QStringLiteral("labels"), labels}, {QStringLiteral("datasets"), datasets}};
}


// The tenth of a second that half of the writes took at most.
int medianTenths(const RecordSummary::PortSeconds &port)
{
    qint64 seen = 0;
    for (const auto &[tenths, count] : port.tenths) {
        seen += count;
        if (2 * seen >= port.writes)
            return tenths;
    }
    return 0;
}

// A bin width in tenths of a second that gives at most `most` bins.
int binWidth(int span, int most)
{
    for (int scale = 1;; scale *= 10)
        for (const int step : {1, 2, 5})
            if (span <= step * scale * most)
                return step * scale;
}


} // namespace

QString ReportCharts::percent(double share) const
{
    return locale.toString(share * 100, 'f', 1) + QStringLiteral(" %");
}

QString ReportCharts::seconds(int tenths) const
{
    return locale.toString(tenths / 10.0, 'f', tenths % 10 ? 1 : 0);
}

ReportCharts::ReportCharts(const RecordSummary &summary, const QLocale &locale) : summary(summary), locale(locale)
{
    perDay();
    perStation();
    perFirmware();
    byReason();
    byBlock();
    bySeconds();
    versionsBefore();
}

void ReportCharts::add(const QString &title, const QString &note, QJsonObject chart, int height)
{
    const QString id = QStringLiteral("chart%1").arg(charts.size() + 1);
    chart[QStringLiteral("id")] = id;
    charts.append(chart);
    sections += QStringLiteral("<section class=\"chart\"><h2>%1</h2>").arg(title.toHtmlEscaped());
    if (!note.isEmpty())
        sections += QStringLiteral("<p class=\"note\">%1</p>").arg(note.toHtmlEscaped());
    sections += QStringLiteral("<div class=\"canvas\" style=\"height:%1px\"><canvas id=\"%2\"></canvas></div></section>\n")
                        .arg(height)
                        .arg(id);
}

void ReportCharts::none(const QString &title)
{
    sections += QStringLiteral("<section class=\"chart\"><h2>%1</h2><p class=\"note\">%2</p></section>\n")
                        .arg(title.toHtmlEscaped(), tr("keine im Zeitraum").toHtmlEscaped());
}

void ReportCharts::perDay()
{
    const QMap<QDate, RecordSummary::Tally> &days = summary.days();
    if (days.isEmpty())
        return none(tr("Geschrieben und fehlgeschlagen je Tag"));
    QJsonArray labels, written, failed;
    // Every day from the first to the last, a quiet one too; but a station
    // clock far off (1970) must not stretch the axis over decades.
    constexpr qint64 MostDaysFilled = 400;
    QList<QDate> shown = days.keys();
    if (days.firstKey().daysTo(days.lastKey()) <= MostDaysFilled) {
        shown.clear();
        for (QDate day = days.firstKey(); day <= days.lastKey(); day = day.addDays(1))
            shown << day;
    }
    for (const QDate &day : shown) {
        const RecordSummary::Tally tally = days.value(day);
        labels.append(day.toString(Qt::ISODate));
        written.append(tally.written);
        failed.append(tally.failed);
    }
    QJsonObject chart = chartOf(labels, {dataset(tr("geschrieben"), written, WrittenColour),
                                      dataset(tr("nicht geschrieben"), failed, FailedColour)});
    chart[QStringLiteral("stacked")] = true;
    add(tr("Geschrieben und fehlgeschlagen je Tag"), QString(), chart);
}

QJsonObject ReportCharts::yieldSpec(const QList<RecordSummary::Named> &named) const
{
    QJsonArray labels, written, failed;
    for (const RecordSummary::Named &one : named) {
        labels.append(tr("%1: %2").arg(one.name, percent(one.tally.yield())));
        written.append(one.tally.written);
        failed.append(one.tally.failed);
    }
    QJsonObject chart = chartOf(labels, {dataset(tr("geschrieben"), written, WrittenColour),
                                      dataset(tr("nicht geschrieben"), failed, FailedColour)});
    chart[QStringLiteral("stacked")] = true;
    chart[QStringLiteral("horizontal")] = true;
    return chart;
}

void ReportCharts::perStation()
{
    const QList<RecordSummary::Named> stations = summary.stations();
    if (stations.isEmpty())
        return none(tr("Ausbeute je Station"));
    add(tr("Ausbeute je Station"), tr("Rechner und Station; dahinter der Anteil geschriebener"),
        yieldSpec(stations), 80 + 36 * int(stations.size()));
}

void ReportCharts::perFirmware()
{
    QList<RecordSummary::Named> named;
    for (const RecordSummary::Firmware &firmware : summary.firmwares()) {
        const QString file = firmware.file.isEmpty() ? tr("ohne Datei") : firmware.file;
        named.append({firmware.sha256.isEmpty() ? file : tr("%1 (%2)").arg(file, firmware.sha256.left(8)),
                      firmware.tally});
    }
    if (named.isEmpty())
        return none(tr("Ausbeute je Firmware"));
    add(tr("Ausbeute je Firmware"), tr("Datei und Anfang ihres SHA-256; dahinter der Anteil geschriebener"),
        yieldSpec(named), 80 + 36 * int(named.size()));
}

void ReportCharts::byReason()
{
    QJsonArray labels, counts;
    for (const RecordSummary::Count &reason : summary.reasons()) {
        labels.append(reason.name.isEmpty() ? tr("unbekannt") : reason.name);
        counts.append(reason.count);
    }
    if (labels.isEmpty())
        return none(tr("Fehlschlaege nach Grund"));
    add(tr("Fehlschlaege nach Grund"), QString(),
        chartOf(labels, {dataset(tr("Fehlschlaege"), counts, FailedColour)}));
}

// Per firmware, since their block counts differ: a spike is a fixture.
void ReportCharts::byBlock()
{
    int shown = 0;
    for (const RecordSummary::Firmware &firmware : summary.firmwares()) {
        if (firmware.failedAtBlock.isEmpty() || shown == MostFirmwares)
            continue;
        ++shown;
        const int last = std::max(firmware.blocks, firmware.failedAtBlock.lastKey());
        QJsonArray labels, counts;
        for (int block = 1; block <= last; ++block) {
            labels.append(block);
            counts.append(firmware.failedAtBlock.value(block));
        }
        const QString file = firmware.file.isEmpty() ? tr("ohne Datei") : firmware.file;
        add(tr("Fehlschlaege nach Block: %1 (%2)").arg(file, firmware.sha256.left(8)),
            tr("Block 1 bis %1; abgebrochen bei Block n").arg(last),
            chartOf(labels, {dataset(tr("Fehlschlaege"), counts, FailedColour)}));
    }
    if (shown == 0)
        none(tr("Fehlschlaege nach Block"));
}

void ReportCharts::bySeconds()
{
    const QList<RecordSummary::PortSeconds> ports = summary.portSeconds().mid(0, MostPorts);
    if (ports.isEmpty())
        return none(tr("Dauer eines Schreibens je Port"));
    int low = std::numeric_limits<int>::max(), high = 0;
    for (const RecordSummary::PortSeconds &port : ports) {
        low = std::min(low, port.tenths.begin()->first);
        high = std::max(high, port.tenths.rbegin()->first);
    }
    const int width = binWidth(high - low + 1, MostBins);
    const int start = low / width * width;
    const int bins = (high - start) / width + 1;
    QJsonArray labels, datasets;
    for (int bin = 0; bin < bins; ++bin)
        labels.append(tr("%1-%2 s").arg(seconds(start + bin * width), seconds(start + (bin + 1) * width)));
    for (const RecordSummary::PortSeconds &port : ports) {
        QList<qint64> counts(bins, 0);
        for (const auto &[tenths, count] : port.tenths)
            counts[(tenths - start) / width] += count;
        const QString label = tr("%1, Median %2 s, %3 Schreibvorgaenge")
                                      .arg(port.name, seconds(medianTenths(port)))
                                      .arg(port.writes);
        datasets.append(dataset(label, QJsonArray::fromVariantList(QVariantList(counts.begin(), counts.end())),
                                Palette.at(datasets.size() % Palette.size())));
    }
    add(tr("Dauer eines Schreibens je Port"),
        tr("nur geschriebene; Port und Adapter, die %1 mit den meisten").arg(ports.size()), chartOf(labels, datasets));
}

void ReportCharts::versionsBefore()
{
    QJsonArray labels, counts;
    for (const RecordSummary::Count &version : summary.versionsBefore()) {
        labels.append(version.name.isEmpty() ? tr("unbekannt") : version.name);
        counts.append(version.count);
    }
    if (labels.isEmpty())
        return none(tr("Firmware vor dem Schreiben"));
    add(tr("Firmware vor dem Schreiben"), tr("die Version, die die HW vor dem Schreiben nannte"),
        chartOf(labels, {dataset(tr("Schreibversuche"), counts, Palette.first())}));
}
