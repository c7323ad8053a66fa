#include "image/HexLoader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

constexpr int SignatureAddress = 0x20;
constexpr std::array<qint32, 4> Signature{0x00, 0xEF, 0x7E, 0xF0};
// The instrument's firmware must end below 0xFC00.
constexpr qint32 HighestEndAddress = 0xFBFF;

// A full image is under 200 KB of text; the limit only keeps a wrongly
// chosen file (or a device such as /dev/zero) from filling the memory.
constexpr qint64 MaxFileSize = 32 * 1024 * 1024;

// Byte count, two address bytes, type and checksum around the data.
constexpr int RecordOverhead = 5;
constexpr int MaxRecordBytes = RecordOverhead + 255;

constexpr int DataRecord = 0x00;
constexpr int EndOfFileRecord = 0x01;
constexpr int SegmentAddressRecord = 0x02;
constexpr int LinearAddressRecord = 0x04;
constexpr qint32 FirstAddressAbove64K = 0x10000;
// Until the first type-04 record no data is stored.
constexpr qint32 NoLinearAddress = -1;

constexpr std::array<qint8, 256> makeHexTable()
{
    std::array<qint8, 256> table{};
    for (auto &value : table)
        value = -1;
    for (int i = 0; i < 10; ++i)
        table['0' + i] = qint8(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = qint8(10 + i);
        table['a' + i] = qint8(10 + i);
    }
    return table;
}

constexpr std::array<qint8, 256> HexTable = makeHexTable();

int hexValue(char c)
{
    return HexTable[static_cast<unsigned char>(c)];
}

// The separators of a word-by-word text read; Unicode spaces never occur in
// a HEX file and would only make a record's word fail as not hexadecimal.
bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

QString hex(qint64 value, int width = 4)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(width, u'0');
}

QString shownCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte < 0x7F)
        return QStringLiteral("\"%1\"").arg(QLatin1Char(c));
    return hex(byte, 2);
}

} // namespace

struct HexLoader::Record
{
    std::array<quint8, MaxRecordBytes> bytes;
    int count = 0;

    qint32 address() const { return bytes[1] << 8 | bytes[2]; }
    int type() const { return bytes[3]; }
    const quint8 *data() const { return bytes.data() + 4; }
    qint32 addressValue() const { return data()[0] << 8 | data()[1]; }
};

HexLoader::HexLoader(const FirmwareImage &startImage, qint32 startLength)
    : current(std::make_unique<FirmwareImage>(startImage)),
      currentLength(startLength)
{
}

bool HexLoader::loadFile(const QString &path)
{
    wasInterrupted = false;
    if (path.isEmpty())
        return refuse(0, tr("Keine Datei angegeben"));
    // Read one byte past the limit to tell a file that is too large.
    const UserFile::Content content = UserFile::read(path, MaxFileSize, pipeSilence);
    if (content.status != UserFile::Status::Read)
        return refuseFile(path, content);
    if (content.bytes.size() > MaxFileSize)
        return refuse(0, tr("Datei ist zu gross fuer eine HEX-Datei: %1").arg(QDir::toNativeSeparators(path)));
    if (content.bytes.isEmpty())
        return refuse(0, tr("Datei ist leer: %1").arg(QDir::toNativeSeparators(path)));
    return loadText(content.bytes);
}

// What stands in the way, so that the user knows what to change.
bool HexLoader::refuseFile(const QString &path, const UserFile::Content &content)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    switch (content.status) {
    case UserFile::Status::Missing:
        return refuse(0, tr("Datei nicht gefunden: %1").arg(shownPath));
    case UserFile::Status::Folder:
        return refuse(0, tr("Ist ein Ordner, keine Datei: %1").arg(shownPath));
    case UserFile::Status::NotAFile:
        return refuse(0, tr("Ist ein Geraet, keine Datei: %1").arg(shownPath));
    case UserFile::Status::Silent:
        return refuse(0, tr("Aus %1 kamen %2 s lang keine Daten").arg(shownPath).arg(pipeSilence.count() / 1000.0));
    case UserFile::Status::Interrupted:
        wasInterrupted = true;
        return refuse(0, tr("Laden von %1 abgebrochen").arg(shownPath));
    case UserFile::Status::Unopened:
        return refuse(0, tr("Datei kann nicht geoeffnet werden: %1 (%2)").arg(shownPath, content.reason));
    case UserFile::Status::Read:
    case UserFile::Status::Failed:
        break;
    }
    return refuse(0, tr("Datei kann nicht gelesen werden: %1 (%2)").arg(shownPath, content.reason));
}

bool HexLoader::loadText(const QByteArray &text)
{
    error.clear();
    errorAtLine = 0;
    if (!candidate)
        candidate = std::make_unique<FirmwareImage>();
    *candidate = *current;
    extendedAddress = NoLinearAddress;
    segmentBase = 0;
    highestAddress = -1;
    storedAny = false;
    endOfFileLine = 0;
    written.reset();
    beforeLinear = {};
    above64K.clear();
    afterEndOfFile = {};
    overwritten = {};

    if (!parse(text) || !judge())
        return false;
    accept(text);
    return true;
}

void HexLoader::accept(const QByteArray &text)
{
    std::swap(current, candidate);
    currentLength = highestAddress;
    acceptedEndOfFile = endOfFileLine > 0;
    acceptedWarnings = collectWarnings();
    acceptedSize = text.size();
    acceptedSha256 = QCryptographicHash::hash(text, QCryptographicHash::Sha256);
}

QList<HexLoader::Warning> HexLoader::collectWarnings() const
{
    QList<Warning> found;
    const auto add = [&found](const char *code, const QString &text, const Span &span) {
        found.append({QString::fromLatin1(code), text, span.address, span.bytes, span.line});
    };
    if (beforeLinear.bytes > 0)
        add("data_before_type_04",
            tr("%1 Byte vor dem ersten Satz :020000040000FA uebergangen, ab Adresse %2 (Zeile %3)")
                .arg(beforeLinear.bytes).arg(hex(beforeLinear.address)).arg(beforeLinear.line),
            beforeLinear);
    for (const Above64K &above : above64K) {
        const QString base = above.recordType == LinearAddressRecord
                ? tr("erweiterte Adresse %1").arg(hex(above.base))
                : tr("Segmentadresse %1").arg(hex(above.base));
        add("data_above_64k",
            tr("%1 Byte ueber 64 KiB uebergangen, ab Adresse %2 (%3, Zeile %4)")
                .arg(above.span.bytes).arg(hex(above.span.address, 5), base).arg(above.span.line),
            above.span);
    }
    if (afterEndOfFile.bytes > 0)
        add("data_after_end_of_file",
            tr("%1 Byte nach dem Endesatz (Zeile %2) trotzdem geladen, ab Zeile %3: zwei Dateien aneinandergehaengt?")
                .arg(afterEndOfFile.bytes).arg(endOfFileLine).arg(afterEndOfFile.line),
            afterEndOfFile);
    if (overwritten.bytes > 0)
        add("data_overwritten",
            tr("%1 Byte von einem spaeteren Satz mit anderem Wert ueberschrieben, zuerst Adresse %2 (Zeile %3)")
                .arg(overwritten.bytes).arg(hex(overwritten.address)).arg(overwritten.line),
            overwritten);
    if (endOfFileLine == 0)
        add("no_end_of_file",
            tr("Endesatz :00000001FF fehlt: die Datei ist vielleicht unvollstaendig (Download abgebrochen?)"), {});
    return found;
}

QString HexLoader::warningText() const
{
    QStringList texts;
    for (const Warning &warning : acceptedWarnings)
        texts.append(warning.text);
    return texts.join(QLatin1Char('\n'));
}

void HexLoader::Span::add(qint64 at, int count, int atLine)
{
    if (count == 0)
        return;
    if (bytes == 0) {
        address = at;
        line = atLine;
    }
    bytes += count;
}

bool HexLoader::parse(const QByteArray &text)
{
    const char *p = text.constData();
    const char *const end = p + text.size();
    if (text.startsWith("\xEF\xBB\xBF"))
        p += 3;

    int line = 1;
    while (p < end) {
        if (isSpace(*p)) {
            // CR LF, LF and a lone CR each end one line.
            if (*p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n')))
                ++line;
            ++p;
            continue;
        }
        const char *const word = p;
        while (p < end && !isSpace(*p))
            ++p;
        if (!takeWord(word, p, line))
            return false;
    }
    return true;
}

bool HexLoader::takeWord(const char *begin, const char *end, int line)
{
    if (*begin != ':')
        return true;
    const char *const digits = begin + 1;
    const qsizetype digitCount = end - digits;
    for (const char *p = digits; p < end; ++p) {
        if (hexValue(*p) < 0)
            return refuse(line, tr("Zeichen %1 ist keine Hex-Ziffer").arg(shownCharacter(*p)));
    }
    if (digitCount % 2 != 0)
        return refuse(line, tr("ungerade Anzahl Hex-Ziffern"));
    const qsizetype byteCount = digitCount / 2;
    if (byteCount < RecordOverhead)
        return refuse(line, tr("Satz zu kurz"));

    Record record;
    record.count = hexValue(digits[0]) << 4 | hexValue(digits[1]);
    if (byteCount != RecordOverhead + record.count)
        return refuse(line, tr("Byteanzahl %1 passt nicht zu %2 Datenbytes")
                                .arg(hex(record.count, 2))
                                .arg(byteCount - RecordOverhead));
    quint8 sum = 0;
    for (qsizetype i = 0; i < byteCount; ++i) {
        record.bytes[i] = quint8(hexValue(digits[2 * i]) << 4 | hexValue(digits[2 * i + 1]));
        sum += record.bytes[i];
    }
    if (sum != 0)
        return refuse(line, tr("Pruefsumme falsch"));
    return takeRecord(record, line);
}

bool HexLoader::takeRecord(const Record &record, int line)
{
    switch (record.type()) {
    case DataRecord:
        return storeData(record, line);
    case SegmentAddressRecord:
    case LinearAddressRecord:
        if (record.count != 2)
            return refuse(line, tr("Adresssatz (Typ %1) mit %2 statt 2 Datenbytes")
                                    .arg(hex(record.type(), 2))
                                    .arg(record.count));
        if (record.type() == LinearAddressRecord)
            extendedAddress = record.addressValue();
        else
            segmentBase = record.addressValue();
        return true;
    case EndOfFileRecord:
        if (endOfFileLine == 0)
            endOfFileLine = line;
        return true;
    default:
        return true; // start addresses mean nothing here
    }
}

bool HexLoader::storeData(const Record &record, int line)
{
    const qint32 address = record.address();
    if (extendedAddress == NoLinearAddress) {
        beforeLinear.add(address, record.count, line);
        return true;
    }
    if (extendedAddress != 0) {
        passAbove64K(LinearAddressRecord, extendedAddress, (qint64(extendedAddress) << 16) + address,
                     record.count, line);
        return true;
    }
    if (segmentBase != 0) {
        const qint32 shifted = segmentBase * 16 + address;
        if (shifted >= FirstAddressAbove64K) {
            passAbove64K(SegmentAddressRecord, segmentBase, shifted, record.count, line);
            return true;
        }
        // Below 64 KiB but shifted: neither the given nor the shifted
        // address is the one the firmware was built for here.
        return refuse(line, tr("Segmentadresse %1 verschiebt Daten unter 0x10000")
                                .arg(hex(segmentBase)));
    }
    if (record.count == 0) {
        // Stores nothing, so it must not move the end: alone it gives -1.
        highestAddress = storedAny ? highestAddress : -1;
        storedAny = true;
        return true;
    }
    const qint32 last = address + record.count - 1;
    if (last >= FirmwareCellCount)
        return refuse(line, tr("Daten bei %1-%2 liegen ausserhalb des Speichers (bis %3)")
                                .arg(hex(address), hex(last), hex(FirmwareCellCount - 1)));
    noteOverwrites(address, record, line);
    if (endOfFileLine > 0)
        afterEndOfFile.add(address, record.count, line);
    std::copy(record.data(), record.data() + record.count, candidate->begin() + address);
    highestAddress = storedAny ? std::max(highestAddress, last) : last;
    storedAny = true;
    return true;
}

void HexLoader::passAbove64K(int recordType, qint32 base, qint64 address, int count, int line)
{
    auto group = std::find_if(above64K.begin(), above64K.end(), [&](const Above64K &above) {
        return above.recordType == recordType && above.base == base;
    });
    if (group == above64K.end())
        group = above64K.insert(above64K.end(), {recordType, base, {}});
    group->span.add(address, count, line);
}

// Only within this load: the earlier image is there to be overlaid.
void HexLoader::noteOverwrites(qint32 address, const Record &record, int line)
{
    for (int i = 0; i < record.count; ++i) {
        const size_t cell = size_t(address + i);
        if (written[cell] && (*candidate)[cell] != record.data()[i])
            overwritten.add(address + i, 1, line);
        written[cell] = true;
    }
}

bool HexLoader::judge()
{
    // Without a stored record the old image would be judged and flashed
    // again as if it were this file.
    if (!storedAny && beforeLinear.bytes > 0)
        return refuse(0, tr("Keine Daten unter 0x10000: vor den Daten fehlt der Satz :020000040000FA "
                            "(als erste Zeile einfuegen oder mit \"srec_cat ALT.hex -intel -o NEU.hex -intel\" "
                            "neu schreiben)"));
    if (!storedAny)
        return refuse(0, tr("Keine Daten unter 0x10000 (Satz :020000040000FA fehlt?)"));
    for (int i = 0; i < int(Signature.size()); ++i) {
        const qint32 cell = (*candidate)[SignatureAddress + i];
        if (cell != Signature[i])
            return refuse(0, tr("Signatur fehlt: Adresse %1 enthaelt %2 statt %3")
                                 .arg(hex(SignatureAddress + i), hex(cell, 2), hex(Signature[i], 2)));
    }
    if (highestAddress > HighestEndAddress)
        return refuse(0, tr("Endadresse %1 liegt ueber %2")
                             .arg(hex(highestAddress), hex(HighestEndAddress)));
    return true;
}

bool HexLoader::refuse(int line, const QString &reason)
{
    errorAtLine = line;
    error = line > 0 ? tr("Zeile %1: %2").arg(line).arg(reason) : reason;
    return false;
}
