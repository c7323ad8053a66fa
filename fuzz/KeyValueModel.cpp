#include "KeyValueModel.h"

#include <QTextStream>

#include <algorithm>

// Not the class's own scan: a decode to code points, which Qt documents to
// give U+FFFD for any invalid UTF-16.
QString KeyValueModel::wellFormed(const QString &text)
{
    QString result;
    for (const uint point : text.toUcs4())
        result += QChar::fromUcs4(char32_t(point));
    return result;
}

void KeyValueModel::load(const QByteArray &content)
{
    QTextStream in(content);
    in.setEncoding(QStringConverter::System);
    for (QString line = in.readLine(); !line.isNull() && line.contains(u'='); line = in.readLine())
        lines.append(wellFormed(line));
    sort();
}

bool KeyValueModel::set(const QString &rawKey, const QString &rawText)
{
    const QString key = wellFormed(rawKey);
    const QString text = wellFormed(rawText);
    const auto breaks = [](const QString &s) { return s.contains(u'\n') || s.contains(u'\r'); };
    if (breaks(key) || breaks(text))
        return false;
    const qsizetype i = indexOf(key);
    if (i >= 0)
        lines.removeAt(i);
    lines.append(key + u'=' + text);
    return true;
}

bool KeyValueModel::remove(const QString &rawText)
{
    const QString text = wellFormed(rawText);
    const auto it = std::find_if(lines.begin(), lines.end(), [&text](const QString &line) { return line.contains(text); });
    if (it == lines.end())
        return false;
    lines.erase(it);
    return true;
}

std::optional<QString> KeyValueModel::value(const QString &key) const
{
    const qsizetype i = indexOf(key);
    if (i < 0)
        return std::nullopt;
    return lines.at(i).mid(key.size() + 1);
}

bool KeyValueModel::finds(const QString &key, const QString &text) const
{
    const qsizetype i = indexOf(key);
    return i >= 0 && lines.at(i) == wellFormed(key + u'=' + text);
}

void KeyValueModel::sort()
{
    std::sort(lines.begin(), lines.end());
}

QByteArray KeyValueModel::fileContent() const
{
    // A leading U+FEFF would be read as a byte-order mark: a real one keeps it.
    QByteArray content = !lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF)) ? "\xEF\xBB\xBF" : "";
    for (const QString &line : lines)
        content += line.toUtf8() + '\n';
    return content;
}

qsizetype KeyValueModel::indexOf(const QString &key) const
{
    const QString prefix = wellFormed(key) + u'=';
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(prefix))
            return i;
    }
    return -1;
}
