#include "report/FlashReport.h"

#include "report/RecordReader.h"
#include "report/ReportPage.h"

#include "record/FlashRecord.h"
#include "userfile/UserFile.h"

#include <QDir>
#include <QFileInfo>

QString FlashReport::pageBeside(const QString &record)
{
    return QFileInfo(record).absolutePath() + QStringLiteral("/flash-report.html");
}

FlashReport::Result FlashReport::run(Request request)
{
    if (request.records.isEmpty())
        request.records << FlashRecord::defaultPath();
    Result result;
    RecordReader reader(request.period);
    QStringList read;
    for (const QString &record : request.records) {
        if (reader.read(record))
            read << record;
        else
            result.warnings << reader.errorString();
    }
    if (read.isEmpty()) {
        result.error = tr("kein Protokoll lesbar");
        return result;
    }
    if (reader.readableLines() == 0) {
        result.error = tr("keine lesbare Zeile in %1")
                               .arg(QDir::toNativeSeparators(read.join(QStringLiteral(", "))));
        return result;
    }
    if (reader.skippedLines() > 0)
        result.warnings << (reader.skippedLines() == 1 ? tr("1 Zeile uebersprungen")
                                                        : tr("%1 Zeilen uebersprungen").arg(reader.skippedLines()));
    const ReportPage::Source source {read, reader.readableLines(), reader.skippedLines(), request.period};
    const QString page = request.page.isEmpty() ? pageBeside(read.first()) : request.page;
    if (const QString why = UserFile::replaceWith(page, ReportPage::html(reader.summary(), source)); !why.isEmpty()) {
        result.status = Status::PageUnwritable;
        result.error = tr("Bericht %1 nicht geschrieben: %2").arg(QDir::toNativeSeparators(page), why);
        return result;
    }
    result.status = Status::Written;
    result.page = QDir::toNativeSeparators(QFileInfo(page).absoluteFilePath());
    return result;
}
