#pragma once

#include "device/FlashOutcome.h"
#include "serial/PortIdentity.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

#include <optional>

// What one write attempt came to, as the flash record keeps it. Empty
// texts are recorded as null.
struct FlashRecordFacts
{
    QString program;                   // "zirbelwerk", "zirbelwerk-flash" or "zirbelwerk-station"
    QString station;                   // the station's name; empty elsewhere
    QString port;                      // COMn as the user knows it, or the path given
    QString device;                    // device path
    PortIdentity usb;                  // the device's USB adapter, as at the start
    std::optional<int> firmwareBefore; // 123 is recorded as "V1.23"
    QString file;                      // absolute path of the HEX file
    qint64 fileSize = 0;
    QByteArray fileSha256;             // raw digest, recorded as lowercase hex
    qint32 imageLength = 0;
    FlashOutcome outcome;              // result, failure, message, block and blocks
    double seconds = 0;                // from the start command to the outcome

    // The record's line: the facts with time, version, host, user and the
    // port's USB identity.
    QJsonObject entry() const;
};
