#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What KeyValueFile promises, as a plain list of lines: lookups take the
// first line that begins with key and "=", setters refuse line breaks and
// replace that first line by one appended at the end, removeLine drops the
// first line containing the text, and the file holds the sorted lines, one
// per LF, in UTF-8, behind a byte-order mark when the first line begins
// with U+FEFF. Every text taken in, loaded or passed, reads each unpaired
// surrogate as U+FFFD.
class KeyValueModel
{
public:
    static QString wellFormed(const QString &text);

    // Adds the leading run of lines that hold "=" and sorts.
    void load(const QByteArray &content);
    bool set(const QString &key, const QString &text);
    bool remove(const QString &text);
    std::optional<QString> value(const QString &key) const;
    // Whether a lookup of key finds exactly the line key=text.
    bool finds(const QString &key, const QString &text) const;
    bool holds(const QString &line) const { return lines.contains(wellFormed(line)); }
    void sort();
    QByteArray fileContent() const;

private:
    qsizetype indexOf(const QString &key) const;

    QStringList lines;
};
