#pragma once

#include "image/FirmwareImage.h"
#include "userfile/UserFile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <bitset>
#include <memory>
#include <vector>

class QFile;

// Reads an Intel HEX firmware file over the current firmware image and
// decides whether the result may be written to the instrument.
//
// Text is read word by word (whitespace separates; lines count only for
// errorLine()); a word that starts with ":" must be a complete record with a
// correct checksum, anything else is passed over. Record types:
//   00 data: stored only while the extended linear address is 0, which needs
//      a type-04 record with 0000 before it; a file that stores nothing
//      below 64 KiB is refused. A later record may overwrite an earlier one.
//   01 end of file: does not end the load; the records after it count too.
//   02 extended segment address: data it places above 64 KiB is passed
//      over; data it shifts to another address below 64 KiB refuses the
//      file. Base 0 changes nothing, and does not stand in for a type-04.
//   04 extended linear address: 0000 starts storing; any other value
//      places the data after it above 64 KiB, where it is passed over.
//   03, 05 and any other type: start addresses and the like, passed over.
// The accepted image must hold 00 EF 7E F0 at 0x20-0x23, and its highest
// stored address (imageLength(), shown as the length) must be at most 0xFBFF;
// data beyond the image's 65000 cells refuses the file.
//
// Whatever is passed over or taken against the file's likely intent is
// warned about (warnings()): data before the first type-04 record or above
// 64 KiB, data after the end-of-file record, bytes a later record
// overwrites with other values, and a missing end-of-file record, since a
// download cut short looks just like it. Warnings never change the load.
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
    // refused with what happened: missing, a folder, a device, no
    // permission, empty, a pipe that stays silent. Never blocks for longer
    // than a pipe's silence; a signal ends that wait.
    bool loadFile(const QString &path);
    // How long a pipe may bring nothing before the file is refused.
    void setPipeSilence(std::chrono::milliseconds silence) { pipeSilence = silence; }
    // The last loadFile was ended by a signal, not by the file.
    bool interrupted() const { return wasInterrupted; }
    bool loadText(const QByteArray &text);

    const FirmwareImage &image() const { return *current; }
    // Address of the highest byte the accepted load stored.
    qint32 imageLength() const { return currentLength; }
    // In the user's language, e.g. "Zeile 12: Pruefsumme falsch"; empty after an accepted load.
    QString errorString() const { return error; }
    // 1-based line of the damaged record, 0 when the reason is not a record.
    int errorLine() const { return errorAtLine; }

    // One thing the load passed over, or took although the file may not
    // have meant it.
    struct Warning
    {
        QString code;        // untranslated, for scripts, e.g. "data_above_64k"
        QString text;        // in the user's language
        qint64 address = -1; // first address concerned; -1: none
        qint64 bytes = 0;    // how many data bytes
        int line = 0;        // first record concerned; 0: none
    };

    // Of the last accepted load.
    bool hasEndOfFileRecord() const { return acceptedEndOfFile; }
    const QList<Warning> &warnings() const { return acceptedWarnings; }
    // The warnings' texts, one a line; empty without warnings.
    QString warningText() const;
    // Of the bytes the last accepted load read.
    qint64 fileSize() const { return acceptedSize; }
    QByteArray fileSha256() const { return acceptedSha256; }

private:
    struct Record;
    // Data bytes of one kind, where they were first met.
    struct Span
    {
        qint64 address = -1;
        qint64 bytes = 0;
        int line = 0;
        void add(qint64 at, int count, int atLine);
    };
    // Data passed over above 64 KiB under one address record.
    struct Above64K
    {
        int recordType;
        qint32 base;
        Span span;
    };

    bool parse(const QByteArray &text);
    bool takeWord(const char *begin, const char *end, int line);
    bool takeRecord(const Record &record, int line);
    bool storeData(const Record &record, int line);
    void passAbove64K(int recordType, qint32 base, qint64 address, int count, int line);
    void noteOverwrites(qint32 address, const Record &record, int line);
    bool judge();
    bool refuse(int line, const QString &reason);
    bool refuseFile(const QString &path, const UserFile::Content &content);
    void accept(const QByteArray &text);
    QList<Warning> collectWarnings() const;

    std::unique_ptr<FirmwareImage> current;
    std::unique_ptr<FirmwareImage> candidate;
    qint32 currentLength;

    // State of one load.
    qint32 extendedAddress = -1;
    qint32 segmentBase = 0;
    qint32 highestAddress = -1;
    bool storedAny = false;
    int endOfFileLine = 0;
    std::bitset<FirmwareCellCount> written;
    Span beforeLinear;
    std::vector<Above64K> above64K;
    Span afterEndOfFile;
    Span overwritten;

    bool acceptedEndOfFile = true;
    QList<Warning> acceptedWarnings;
    qint64 acceptedSize = 0;
    QByteArray acceptedSha256;

    QString error;
    bool wasInterrupted = false;
    std::chrono::milliseconds pipeSilence = UserFile::PipeSilence;
    int errorAtLine = 0;
};
