#include "cli/Recorder.h"

#include "cli/FirmwareCheck.h"
#include "cli/FlashSession.h"
#include "cli/Reporter.h"

#include <QFile>
#include <QJsonDocument>

Recorder::Recorder(Reporter &reporter, const QString &path)
    : reporter(reporter), file(path.isEmpty() ? FlashRecord::defaultPath() : path)
{
}

QJsonObject Recorder::record(const FlashSession &session, const FirmwareCheck &firmware)
{
    FlashRecordFacts facts;
    facts.program = QString::fromLatin1(FlashRecord::ProgramFlasher);
    facts.port = session.target().port;
    facts.device = session.target().device;
    facts.firmwareBefore = session.target().firmwareBefore;
    facts.file = firmware.path();
    facts.fileSize = firmware.fileSize();
    facts.fileSha256 = firmware.fileSha256();
    facts.imageLength = firmware.imageLength();
    facts.outcome = session.outcome();
    facts.seconds = session.seconds();
    const QJsonObject entry = FlashRecord::entry(facts);
    if (!file.append(entry))
        reporter.warn(file.errorString());
    return entry;
}

bool Recorder::lastWriteUnfinished(const QString &device) const
{
    QFile records(file.path());
    if (device.isEmpty() || !records.open(QIODevice::ReadOnly))
        return false;
    QString last;
    while (!records.atEnd()) {
        const QJsonObject entry = QJsonDocument::fromJson(records.readLine()).object();
        if (entry.value(QStringLiteral("device")).toString() == device)
            last = entry.value(QStringLiteral("result")).toString();
    }
    return !last.isEmpty() && last != QLatin1String("written");
}
