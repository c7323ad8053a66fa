#pragma once

#include "report/ReportPeriod.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// A report from records to page: reads them, says what it passed over,
// writes the page. The words are for the user; the caller only shows them.
class FlashReport
{
    Q_DECLARE_TR_FUNCTIONS(FlashReport)

public:
    enum class Status { Written, PageUnwritable, NoRecord };
    struct Request
    {
        QStringList records; // none: the user's record
        QString page;        // empty: beside the first record
        ReportPeriod period;
    };
    struct Result
    {
        Status status = Status::NoRecord;
        QStringList warnings; // records not read, lines passed over
        QString error;        // why no page was written
        QString page;         // the page written
    };

    static Result run(Request request);
    static QString pageBeside(const QString &record);
};
