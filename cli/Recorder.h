#pragma once

#include "device/FlashRecord.h"

#include <QJsonObject>
#include <QString>

class FirmwareCheck;
class FlashSession;
class Reporter;

// Keeps the record of every write the flasher attempts, and tells when it
// cannot; a record that fails changes nothing about the write. Lines go in
// on the event loop: the program may end only once isRecording() is false
// (see FlashRecord::appended()), or after abandon().
class Recorder
{
public:
    Recorder(Reporter &reporter, const QString &path);

    // Starts appending the session's line and returns it.
    QJsonObject record(const FlashSession &session, const FirmwareCheck &firmware);
    bool isRecording() const { return file.isAppending(); }
    void abandon() { file.abandon(); }
    FlashRecord &flashRecord() { return file; }
    // Whether the last write the record knows for device did not end written.
    bool lastWriteUnfinished(const QString &device) const { return file.lastWriteUnfinished(device); }

private:
    Reporter &reporter;
    FlashRecord file;
};
