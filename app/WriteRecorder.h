#pragma once

#include "device/FlashRecordFacts.h"

#include <QElapsedTimer>
#include <QString>

class HexLoader;

// Gathers what the window knows of a write attempt and adds it to the
// flash record once the write has ended, so that the slots stay thin.
class WriteRecorder
{
public:
    void instrumentFound(int firmwareVersion);
    void fileAccepted(const QString &path, const HexLoader &loader);
    void writeStarted();
    // Empty when the line is in the record, else the warning to show.
    QString writeEnded(const QString &portName, qint32 imageLength, const FlashOutcome &outcome);

private:
    FlashRecordFacts facts;
    QElapsedTimer clock;
};
