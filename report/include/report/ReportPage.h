#pragma once

#include "report/RecordSummary.h"
#include "report/ReportPeriod.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

// The report as one self-contained HTML page: its figures, the charting
// library and the script that draws them inline, so that it opens
// offline and can be mailed as one file. It prints on A4.
class ReportPage
{
    Q_DECLARE_TR_FUNCTIONS(ReportPage)

public:
    struct Source
    {
        QStringList records;
        qint64 readableLines = 0;
        qint64 skippedLines = 0;
        ReportPeriod period;
        QDateTime made = QDateTime::currentDateTime();
    };

    // The language the program speaks, as the page declares it.
    static QString language();
    static QByteArray html(const RecordSummary &summary, const Source &source);

private:
    static QString header(const RecordSummary &summary, const Source &source, const QLocale &locale);
    static QString periodText(const RecordSummary &summary, const ReportPeriod &period);
    static QString zoneText(const QDateTime &made);
    static QString tiles(const RecordSummary &summary, const QDate &today, const QLocale &locale);
    static QString failureTable(const RecordSummary &summary);
    static QString failureRow(const RecordSummary::Failure &failure);
    static QString resource(const QString &name);
};
