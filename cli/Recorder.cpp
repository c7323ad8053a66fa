#include "cli/Recorder.h"

#include "cli/FirmwareCheck.h"
#include "cli/FlashSession.h"
#include "cli/Reporter.h"


Recorder::Recorder(Reporter &reporter, const QString &path)
    : reporter(reporter), file(path.isEmpty() ? FlashRecord::defaultPath() : path)
{
    QObject::connect(&file, &FlashRecord::appended, &file, [this](bool written) {
        if (!written)
            this->reporter.warn(file.errorString());
    });
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
    file.append(entry);
    return entry;
}
