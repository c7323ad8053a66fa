#pragma once

#include "device/FlashRecord.h"
#include "device/FlashRecordFacts.h"

#include <QElapsedTimer>
#include <QString>

class HexLoader;

// Gathers what the window knows of a write attempt and adds it to the
// flash record once the write has ended, so that the slots stay thin. The
// record says through record().appended() when the line is in.
class WriteRecorder
{
public:
    void instrumentFound(int firmwareVersion);
    void fileAccepted(const QString &path, const HexLoader &loader);
    void writeStarted();
    void writeEnded(const QString &portName, qint32 imageLength, const FlashOutcome &outcome);
    FlashRecord &record() { return file; }

private:
    FlashRecord file;
    FlashRecordFacts facts;
    QElapsedTimer clock;
};
