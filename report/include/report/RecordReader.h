#pragma once

#include "report/LineScanner.h"
#include "report/RecordSummary.h"
#include "report/ReportPeriod.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Reads records, one or several, into one summary: piece by piece, so a
// year of records needs no more memory than a day's. Lines that are no
// record line are counted and passed over.
class RecordReader
{
    Q_DECLARE_TR_FUNCTIONS(RecordReader)

public:
    explicit RecordReader(const ReportPeriod &period = {}) : period(period) {}

    // False, with the reason in errorString(), when the file cannot be read.
    bool read(const QString &path);

    QString errorString() const { return error; }
    const RecordSummary &summary() const { return sum; }
    // Record lines read, whether in the period or not.
    qint64 readableLines() const { return readable; }
    qint64 skippedLines() const { return skipped; }

private:
    void take(QByteArrayView line);

    ReportPeriod period;
    LineScanner scanner;
    RecordLine line;
    RecordSummary sum;
    QString error;
    qint64 readable = 0;
    qint64 skipped = 0;
};
