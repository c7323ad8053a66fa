#pragma once

#include "report/RecordSummary.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QString>

// The page's charts: a section with a canvas each, and what the page's
// script hands the charting library for it. Only sums go in, never lines.
class ReportCharts
{
    Q_DECLARE_TR_FUNCTIONS(ReportCharts)

public:
    // Charts of this many firmwares or ports at most; the rest is summed.
    static constexpr int MostFirmwares = 4;
    static constexpr int MostPorts = 6;
    static constexpr int MostBins = 24;

    ReportCharts(const RecordSummary &summary, const QLocale &locale);

    QString html() const { return sections; }
    QJsonArray all() const { return charts; }

private:
    void perDay();
    void perStation();
    void perFirmware();
    void byReason();
    void byBlock();
    void bySeconds();
    void versionsBefore();
    void add(const QString &title, const QString &note, QJsonObject chart, int height = 260);
    void none(const QString &title);
    QJsonObject yieldSpec(const QList<RecordSummary::Named> &named) const;
    QString percent(double share) const;
    QString seconds(int tenths) const;

    const RecordSummary &summary;
    QLocale locale;
    QString sections;
    QJsonArray charts;
};
