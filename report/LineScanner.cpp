#include "report/LineScanner.h"

#include <QDateTime>
#include <QString>

#include <charconv>

namespace {

enum class Kind { Text, Time, Blocks, Block, Seconds };

struct Key
{
    const char *name;
    Kind kind;
    QByteArrayView RecordLine::*text;
};

const Key Keys[] = {
    {"time", Kind::Time, nullptr},
    {"program", Kind::Text, &RecordLine::program},
    {"host", Kind::Text, &RecordLine::host},
    {"station", Kind::Text, &RecordLine::station},
    {"port", Kind::Text, &RecordLine::port},
    {"usb_description", Kind::Text, &RecordLine::usbDescription},
    {"usb_vid", Kind::Text, &RecordLine::usbVid},
    {"usb_pid", Kind::Text, &RecordLine::usbPid},
    {"firmware_before", Kind::Text, &RecordLine::firmwareBefore},
    {"file", Kind::Text, &RecordLine::file},
    {"file_sha256", Kind::Text, &RecordLine::fileSha256},
    {"result", Kind::Text, &RecordLine::result},
    {"failure", Kind::Text, &RecordLine::failure},
    {"blocks", Kind::Blocks, nullptr},
    {"block", Kind::Block, nullptr},
    {"seconds", Kind::Seconds, nullptr},
};

// Nested values are no part of a record line; a few levels are passed over.
constexpr int DeepestNesting = 16;

int digits(const char *at, int count)
{
    int number = 0;
    for (int i = 0; i < count; ++i) {
        if (at[i] < '0' || at[i] > '9')
            return -1;
        number = number * 10 + (at[i] - '0');
    }
    return number;
}

qint64 daysSinceEpoch(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146097 + dayOfEra - 719468;
}

// "2024-05-06T07:08:09.123Z", as the programs write it.
bool parseUtcTime(QByteArrayView text, qint64 &utcMs)
{
    const char *t = text.data();
    if (text.size() < 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':'
        || t[text.size() - 1] != 'Z')
        return false;
    const int year = digits(t, 4), month = digits(t + 5, 2), day = digits(t + 8, 2);
    const int hour = digits(t + 11, 2), minute = digits(t + 14, 2), second = digits(t + 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0
        || minute > 59 || second < 0 || second > 59)
        return false;
    int ms = 0;
    const qsizetype fraction = text.size() - 21;
    if (fraction > 0) {
        if (t[19] != '.' || fraction > 9 || digits(t + 20, int(fraction)) < 0)
            return false;
        for (int i = 0; i < 3; ++i)
            ms = ms * 10 + (i < fraction ? t[20 + i] - '0' : 0);
    } else if (text.size() != 20) {
        return false;
    }
    const qint64 days = daysSinceEpoch(year, month, day);
    utcMs = ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + ms;
    return true;
}

void appendUtf8(QByteArray &to, uint code)
{
    if (code < 0x80) {
        to += char(code);
    } else if (code < 0x800) {
        to += char(0xC0 | (code >> 6));
        to += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        to += char(0xE0 | (code >> 12));
        to += char(0x80 | ((code >> 6) & 0x3F));
        to += char(0x80 | (code & 0x3F));
    } else {
        to += char(0xF0 | (code >> 18));
        to += char(0x80 | ((code >> 12) & 0x3F));
        to += char(0x80 | ((code >> 6) & 0x3F));
        to += char(0x80 | (code & 0x3F));
    }
}

bool hex4(const char *at, const char *end, uint &code)
{
    if (end - at < 4)
        return false;
    bool ok = false;
    code = QByteArrayView(at, 4).toUInt(&ok, 16);
    return ok;
}

} // namespace

bool LineScanner::parseTime(QByteArrayView text, qint64 &utcMs)
{
    if (parseUtcTime(text, utcMs))
        return true;
    // Any other ISO form, the slow way.
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    if (!time.isValid())
        return false;
    utcMs = time.toMSecsSinceEpoch();
    return true;
}

bool LineScanner::scan(QByteArrayView text, RecordLine &out)
{
    out = RecordLine();
    line = &out;
    pos = text.data();
    end = pos + text.size();
    time = {};
    blocks = block = -1;
    depth = 0;
    skipSpace();
    if (!at('{') || !object())
        return false;
    skipSpace();
    if (pos != end || out.result.isEmpty() || !parseTime(time, out.utcMs))
        return false;
    out.blocks = blocks >= 0 && blocks < 1e9 ? int(blocks) : -1;
    out.block = block >= 0 && block < 1e9 ? int(block) : -1;
    return true;
}

bool LineScanner::object()
{
    ++pos;
    skipSpace();
    if (at('}')) {
        ++pos;
        return true;
    }
    for (;;) {
        if (!member())
            return false;
        skipSpace();
        if (at('}')) {
            ++pos;
            return true;
        }
        if (!at(','))
            return false;
        ++pos;
        skipSpace();
    }
}

// A member's name and its colon, and the space after it.
bool LineScanner::keyAndColon(QByteArrayView &key)
{
    if (!at('"') || !string(key, -1))
        return false;
    skipSpace();
    if (!at(':'))
        return false;
    ++pos;
    skipSpace();
    return true;
}

bool LineScanner::member()
{
    QByteArrayView key;
    if (!keyAndColon(key))
        return false;
    for (int slot = 0; slot < int(std::size(Keys)); ++slot) {
        const Key &known = Keys[slot];
        if (key != QByteArrayView(known.name))
            continue;
        switch (known.kind) {
        case Kind::Text:
            return value(&(line->*known.text), slot, nullptr);
        case Kind::Time:
            return value(&time, slot, nullptr);
        case Kind::Blocks:
            return value(nullptr, -1, &blocks);
        case Kind::Block:
            return value(nullptr, -1, &block);
        case Kind::Seconds:
            return value(nullptr, -1, &line->seconds);
        }
    }
    return value(nullptr, -1, nullptr);
}

// A value of another type than the key's is passed over as if missing.
bool LineScanner::value(QByteArrayView *text, int textSlot, double *number)
{
    if (pos >= end)
        return false;
    switch (*pos) {
    case '"': {
        QByteArrayView found;
        if (!string(found, text ? textSlot : -1))
            return false;
        if (text)
            *text = found;
        return true;
    }
    case '{':
    case '[':
        return nested(*pos == '{' ? '}' : ']');
    case 't':
        return word("true");
    case 'f':
        return word("false");
    case 'n':
        return word("null");
    default:
        return numberValue(number);
    }
}

bool LineScanner::string(QByteArrayView &text, int textSlot)
{
    const char *start = ++pos;
    bool escaped = false;
    while (pos < end && *pos != '"') {
        if (*pos == '\\') {
            escaped = true;
            pos += 2;
        } else if (uchar(*pos) < 0x20) {
            return false;
        } else {
            ++pos;
        }
    }
    if (pos >= end)
        return false;
    const QByteArrayView raw(start, pos - start);
    ++pos;
    if (escaped)
        return unescape(raw, textSlot, text);
    text = raw;
    return true;
}

bool LineScanner::unescape(QByteArrayView raw, int textSlot, QByteArrayView &text)
{
    QByteArray &to = unescaped[textSlot >= 0 ? size_t(textSlot) : unescaped.size() - 1];
    to.resize(0);
    const char *end = raw.data() + raw.size();
    for (const char *c = raw.data(); c < end; ++c) {
        if (*c != '\\') {
            to += *c;
            continue;
        }
        if (++c >= end)
            return false;
        switch (*c) {
        case '"': case '\\': case '/': to += *c; break;
        case 'b': to += '\b'; break;
        case 'f': to += '\f'; break;
        case 'n': to += '\n'; break;
        case 'r': to += '\r'; break;
        case 't': to += '\t'; break;
        case 'u': {
            uint code = 0;
            if (!hex4(c + 1, end, code))
                return false;
            c += 4;
            uint low = 0;
            if (code >= 0xD800 && code < 0xDC00 && end - c > 6 && c[1] == '\\' && c[2] == 'u'
                && hex4(c + 3, end, low) && low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                c += 6;
            }
            appendUtf8(to, code);
            break;
        }
        default:
            return false;
        }
    }
    text = to;
    return true;
}

bool LineScanner::numberValue(double *number)
{
    const char *start = pos;
    while (pos < end && ((*pos >= '0' && *pos <= '9') || *pos == '-' || *pos == '+' || *pos == '.' || *pos == 'e'
                         || *pos == 'E'))
        ++pos;
    double parsed = 0;
    const auto [stop, error] = std::from_chars(start, pos, parsed);
    if (pos == start || stop != pos || error != std::errc() || *start == '+')
        return false;
    if (number)
        *number = parsed;
    return true;
}

bool LineScanner::word(QByteArrayView expected)
{
    if (end - pos < expected.size() || QByteArrayView(pos, expected.size()) != expected)
        return false;
    pos += expected.size();
    return true;
}

bool LineScanner::nested(char close)
{
    if (++depth > DeepestNesting)
        return false;
    const bool isObject = close == '}';
    ++pos;
    skipSpace();
    bool first = true;
    while (!at(close)) {
        if (!first) {
            if (!at(','))
                return false;
            ++pos;
            skipSpace();
        }
        first = false;
        QByteArrayView key;
        if (isObject && !keyAndColon(key))
            return false;
        if (!value(nullptr, -1, nullptr))
            return false;
        skipSpace();
    }
    ++pos;
    --depth;
    return true;
}

void LineScanner::skipSpace()
{
    while (pos < end && (*pos == ' ' || *pos == '\t' || *pos == '\r' || *pos == '\n'))
        ++pos;
}
