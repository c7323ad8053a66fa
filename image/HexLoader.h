#pragma once

#include "image/FirmwareImage.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <memory>

class QFile;

// Reads an Intel HEX firmware file over the current firmware image and
// decides whether the result may be written to the instrument.
//
// Text is read word by word (whitespace separates; lines count only for
// errorLine()); a word that starts with ":" must be a complete record with a
// correct checksum, anything else is passed over. Data records are stored only
// while the extended linear address is 0, which needs a type-04 record with
// 0000 before them; data that a type-04 or type-02 base places above 64 KiB
// is passed over. The end-of-file record does not end the load; a file
// without one is accepted all the same, but warned about (warningString()),
// since a download cut short looks just like it.
//
// A load is parsed into a copy: only an accepted file replaces image() and
// imageLength(), and it changes only the cells its records address. A
// refused file leaves both as they were and says why in errorString().
// Further loads on the same object start from the last accepted state.
class HexLoader
{
    Q_DECLARE_TR_FUNCTIONS(HexLoader)

public:
    explicit HexLoader(const FirmwareImage &currentImage, qint32 currentLength);

    // True when the file is accepted. A file that cannot be read is
    // refused with what happened: missing, a folder, no permission, empty.
    bool loadFile(const QString &path);
    bool loadText(const QByteArray &text);

    const FirmwareImage &image() const { return *current; }
    // Address of the highest byte the accepted load stored.
    qint32 imageLength() const { return currentLength; }
    // In the user's language, e.g. "Zeile 12: Pruefsumme falsch"; empty after an accepted load.
    QString errorString() const { return error; }
    // 1-based line of the damaged record, 0 when the reason is not a record.
    int errorLine() const { return errorAtLine; }

    // Of the last accepted load.
    bool hasEndOfFileRecord() const { return acceptedEndOfFile; }
    // In the user's language; empty unless the last accepted load lacks its end-of-file record.
    QString warningString() const;
    // Of the bytes the last accepted load read.
    qint64 fileSize() const { return acceptedSize; }
    QByteArray fileSha256() const { return acceptedSha256; }

private:
    struct Record;

    bool parse(const QByteArray &text);
    bool takeWord(const char *begin, const char *end, int line);
    bool takeRecord(const Record &record, int line);
    bool storeData(const Record &record, int line);
    bool judge();
    bool refuse(int line, const QString &reason);
    bool refuseFile(const QString &path, const QFile &file);
    void accept(const QByteArray &text);

    std::unique_ptr<FirmwareImage> current;
    std::unique_ptr<FirmwareImage> candidate;
    qint32 currentLength;

    // State of one load.
    qint32 extendedAddress = 0xFFFF;
    qint32 segmentBase = 0;
    qint32 highestAddress = -1;
    bool storedAny = false;
    bool sawEndOfFile = false;

    bool acceptedEndOfFile = true;
    qint64 acceptedSize = 0;
    QByteArray acceptedSha256;

    QString error;
    int errorAtLine = 0;
};
