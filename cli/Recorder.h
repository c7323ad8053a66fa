#pragma once

#include "device/FlashRecord.h"

#include <QJsonObject>
#include <QString>

class FirmwareCheck;
class FlashSession;
class Reporter;

// Keeps the record of every write the flasher attempts, and tells when it
// cannot; a record that fails changes nothing about the write.
class Recorder
{
public:
    Recorder(Reporter &reporter, const QString &path);

    // Appends the session's line and returns it.
    QJsonObject record(const FlashSession &session, const FirmwareCheck &firmware);
    // Whether the last write the record knows for device did not end written.
    bool lastWriteUnfinished(const QString &device) const;

private:
    Reporter &reporter;
    FlashRecord file;
};
