#pragma once

#include "image/FirmwareImage.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>

// Reads an Intel HEX firmware file over the current firmware image and
// decides whether the result may be written to the instrument.
//
// Text is read word by word (whitespace separates; lines count only for
// errorLine()); a word that starts with ":" must be a complete record with a
// correct checksum, anything else is passed over. Data records are stored only
// while the extended linear address is 0, which needs a type-04 record with
// 0000 before them; data that a type-04 or type-02 base places above 64 KiB
// is passed over. The end-of-file record does not end the load.
//
// A load is parsed into a copy: only an accepted file replaces image() and
// imageLength(), and it changes only the cells its records address. A
// refused file leaves both as they were and says why in errorString().
// Further loads on the same object start from the last accepted state.
class HexLoader
{
public:
    explicit HexLoader(const FirmwareImage &currentImage, qint32 currentLength);

    // True when the file is accepted.
    bool loadFile(const QString &path);
    bool loadText(const QByteArray &text);

    const FirmwareImage &image() const { return *current; }
    // Address of the highest byte the accepted load stored.
    qint32 imageLength() const { return currentLength; }
    // German, e.g. "Zeile 12: Pruefsumme falsch"; empty after an accepted load.
    QString errorString() const { return error; }
    // 1-based line of the damaged record, 0 when the reason is not a record.
    int errorLine() const { return errorAtLine; }

private:
    struct Record;

    bool parse(const QByteArray &text);
    bool takeWord(const char *begin, const char *end, int line);
    bool takeRecord(const Record &record, int line);
    bool storeData(const Record &record, int line);
    bool judge();
    bool refuse(int line, const QString &reason);

    std::unique_ptr<FirmwareImage> current;
    std::unique_ptr<FirmwareImage> candidate;
    qint32 currentLength;

    // State of one load.
    qint32 extendedAddress = 0xFFFF;
    qint32 segmentBase = 0;
    qint32 highestAddress = -1;
    bool storedAny = false;

    QString error;
    int errorAtLine = 0;
};
