#include "app/WriteRecorder.h"

#include "image/HexLoader.h"
#include "serial/PortNames.h"

#include <QFileInfo>

void WriteRecorder::instrumentFound(int firmwareVersion)
{
    facts.firmwareBefore = firmwareVersion;
}

void WriteRecorder::fileAccepted(const QString &path, const HexLoader &loader)
{
    facts.file = QFileInfo(path).absoluteFilePath();
    facts.fileSize = loader.fileSize();
    facts.fileSha256 = loader.fileSha256();
}

void WriteRecorder::writeStarted()
{
    clock.start();
}

void WriteRecorder::writeEnded(const QString &portName, qint32 imageLength, const FlashOutcome &outcome)
{
    facts.program = QString::fromLatin1(FlashRecord::ProgramWindow);
    facts.port = portName;
    facts.device = portName.isEmpty() ? QString() : PortNames::devicePath(portName);
    facts.imageLength = imageLength;
    facts.outcome = outcome;
    facts.seconds = clock.isValid() ? double(clock.nsecsElapsed()) / 1e9 : 0;
    clock.invalidate();
    file.append(FlashRecord::entry(facts));
}
