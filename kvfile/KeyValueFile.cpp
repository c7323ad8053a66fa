#include "kvfile/KeyValueFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

#include <cstring>

namespace {

// Reading local bytes back one per character only leaves text alone in a
// single-byte code page; under UTF-8 it would garble every non-ASCII
// character at each save, so there the lines are used as they are.
bool localEncodingIsUtf8()
{
    static const bool utf8 = [] {
        const QString sample = QStringLiteral("\u00E4\u20AC");
        return sample.toLocal8Bit() == sample.toUtf8();
    }();
    return utf8;
}

QString eightBitForm(const QString &line)
{
    return QString::fromLatin1(line.toLocal8Bit());
}

// Index of the first line whose compared form satisfies matches, or -1.
// The UTF-8 path passes the stored line itself: no copy per line scanned.
template <typename Predicate>
qsizetype firstMatch(const QStringList &lines, Predicate matches)
{
    const bool asStored = localEncodingIsUtf8();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (asStored ? matches(line) : matches(eightBitForm(line)))
            return i;
    }
    return -1;
}

// Qt's encoders differ between paths and versions on an unpaired surrogate
// ("?" or U+FFFD), so the class settles it where text comes in: memory,
// lookups and the file then all hold the same characters.
QString wellFormed(const QString &text)
{
    if (text.isValidUtf16())
        return text; // shares the data: no copy on the common path
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const bool pair = result.at(i).isHighSurrogate() && i + 1 < result.size()
                          && result.at(i + 1).isLowSurrogate();
        if (pair)
            ++i;
        else if (result.at(i).isSurrogate())
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

KeyValueFile::~KeyValueFile()
{
    save();
}

bool KeyValueFile::load(const QString &name)
{
    fileName = name;
    if (name.isEmpty())
        return false; // QFile would warn about the missing name

    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    QTextStream in(&file);
    in.setEncoding(QStringConverter::System);
    // The first line without "=" (an empty one too) ends the data for good.
    QString line;
    while (in.readLineInto(&line) && line.contains(u'='))
        lines.append(wellFormed(line)); // a UTF-16 file may hold unpaired surrogates

    lines.sort(Qt::CaseSensitive);
    return true;
}

bool KeyValueFile::save()
{
    if (!modified)
        return true;
    lines.sort(Qt::CaseSensitive);
    if (!writeFile())
        return false;
    modified = false;
    return true;
}

bool KeyValueFile::writeFile() const
{
    if (fileName.isEmpty())
        return false; // never loaded: nowhere to write

    // A crash or a full disk during the write leaves the old file in place.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    // load() takes a leading U+FEFF for a byte-order mark and drops it; a
    // first line that begins with one keeps it behind a real mark.
    out.setGenerateByteOrderMark(!lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF)));
    const bool asStored = localEncodingIsUtf8();
    for (const QString &line : lines)
        out << (asStored ? line : eightBitForm(line)) << '\n';
    out.flush();
    return out.status() == QTextStream::Ok && file.commit();
}

bool KeyValueFile::removeLine(const QString &text)
{
    modified = true;
    // Half a surrogate pair must not match the half of a stored character.
    const QString wanted = wellFormed(text);
    const qsizetype i = firstMatch(lines, [&wanted](const QString &line) {
        return line.contains(wanted);
    });
    if (i < 0)
        return false;
    lines.removeAt(i);
    return true;
}

qsizetype KeyValueFile::indexOfKey(const QString &key) const
{
    const QString prefix = wellFormed(key) + u'=';
    const size_t bytes = size_t(prefix.size()) * sizeof(QChar);
    // Equality needs no ordering: a length check and one memory compare.
    return firstMatch(lines, [&prefix, bytes](const QString &line) {
        return line.size() >= prefix.size()
               && std::memcmp(line.constData(), prefix.constData(), bytes) == 0;
    });
}

std::optional<QString> KeyValueFile::valueText(const QString &key) const
{
    const qsizetype i = indexOfKey(key);
    if (i < 0)
        return std::nullopt;
    const QString &line = lines.at(i);
    const QString form = localEncodingIsUtf8() ? line : eightBitForm(line);
    return form.mid(key.size() + 1);
}

bool KeyValueFile::setValueText(const QString &key, const QString &text)
{
    if (hasLineBreak(key) || hasLineBreak(text))
        return false;
    modified = true;
    const qsizetype i = indexOfKey(key);
    if (i >= 0)
        lines.removeAt(i);
    lines.append(wellFormed(key) + u'=' + wellFormed(text));
    return true;
}

int KeyValueFile::getInt(const QString &key, int defaultValue) const
{
    const auto text = valueText(key);
    return text ? text->toInt(nullptr, 10) : defaultValue;
}

qint32 KeyValueFile::getLong(const QString &key, qint32 defaultValue) const
{
    const auto text = valueText(key);
    return text ? text->toInt(nullptr, 10) : defaultValue;
}

qint64 KeyValueFile::getLongLong(const QString &key, qint64 defaultValue) const
{
    const auto text = valueText(key);
    return text ? text->toLongLong(nullptr, 10) : defaultValue;
}

bool KeyValueFile::getBool(const QString &key, bool defaultValue) const
{
    const auto text = valueText(key);
    return text ? text->toInt(nullptr, 10) != 0 : defaultValue;
}

double KeyValueFile::getDouble(const QString &key, double defaultValue) const
{
    const auto text = valueText(key);
    return text ? text->toDouble() : defaultValue;
}

QString KeyValueFile::getString(const QString &key, const QString &defaultValue) const
{
    return valueText(key).value_or(defaultValue);
}

bool KeyValueFile::setInt(const QString &key, int value)
{
    return setValueText(key, QString::number(qint64(value)));
}

bool KeyValueFile::setLong(const QString &key, qint32 value)
{
    return setValueText(key, QString::number(qint64(value)));
}

bool KeyValueFile::setLongLong(const QString &key, qint64 value)
{
    return setValueText(key, QString::number(value));
}

bool KeyValueFile::setBool(const QString &key, bool value)
{
    return setValueText(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool KeyValueFile::setDouble(const QString &key, double value)
{
    return setValueText(key, QString::number(value, 'g', 10));
}

bool KeyValueFile::setDoubleExp(const QString &key, double value)
{
    return setValueText(key, QString::asprintf("%0.15E", value));
}

bool KeyValueFile::setString(const QString &key, const QString &value)
{
    return setValueText(key, value);
}
