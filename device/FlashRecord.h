#pragma once

#include "device/FlashRecordFacts.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QString>

// The record of every write attempt, window and flasher alike: one JSON
// object per line, appended to one file. Earlier lines are never touched,
// and lines of several processes never interleave.
class FlashRecord
{
    Q_DECLARE_TR_FUNCTIONS(FlashRecord)

public:
    static constexpr const char *ProgramWindow = "zirbelwerk";
    static constexpr const char *ProgramFlasher = "zirbelwerk-flash";

    // $XDG_DATA_HOME/zirbelwerk/flash-record.jsonl on Linux.
    static QString defaultPath();

    explicit FlashRecord(QString path = defaultPath());

    // The facts with time, version, host, user and the port's USB identity.
    static QJsonObject entry(const FlashRecordFacts &facts);

    // Creates the folder when needed; false, and errorString(), when the
    // line could not be written whole.
    bool append(const QJsonObject &entry);
    // In the user's language, with the path and the system's reason.
    QString errorString() const { return error; }
    QString path() const { return filePath; }

private:
    bool fail(const QString &reason);

    QString filePath;
    QString error;
};
