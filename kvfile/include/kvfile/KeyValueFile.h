#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// A small text file of key=value lines, held in memory as a list of lines.
//
// A line is never split into key and value: key K matches the first line
// that begins with K followed by "=", and the rest of that line is its value.
// Nothing is trimmed, quoted or escaped; keys are case-sensitive.
//
// load() takes only the leading run of lines that contain "=" and sorts the
// list. Setters replace the first line of their key and append the new one
// at the end. save() writes the sorted list, one line per LF, and only when
// something changed; the destructor saves as well.
//
// Lines are sorted by their UTF-16 code units, whatever the user's locale.
// Where the local 8-bit encoding is UTF-8 (always on Linux) the file is
// UTF-8 and lines are used as they are. Elsewhere each line is compared and
// written in its 8-bit form (local bytes read back one per character), which
// leaves ASCII alone.
//
// Text that is not valid UTF-16 is taken with each unpaired surrogate
// replaced by U+FFFD wherever it comes in: loaded lines (a file with a
// UTF-16 byte-order mark is read as UTF-16), setters' keys and values, the
// keys of getters and the text of removeLine(). A key set with one is
// therefore found again before and after a save and load, as is the same
// key with U+FFFD in its place, and getters return the U+FFFD form. Valid
// text is held, written and read back unchanged.
class KeyValueFile
{
public:
    KeyValueFile() = default;
    ~KeyValueFile();

    // The destructor writes the file: a copy would write it a second time.
    KeyValueFile(const KeyValueFile &) = delete;
    KeyValueFile &operator=(const KeyValueFile &) = delete;

    // Takes name as the file to save to, even when it cannot be read, then
    // adds the file's accepted lines to those already held and sorts them.
    // The first empty line or line without "=" ends what is accepted.
    // Returns whether the file could be opened.
    bool load(const QString &name);

    // Writes the sorted lines when anything changed since the last save;
    // the old file is replaced only once the new one is complete. A first
    // line that begins with U+FEFF gets a byte-order mark in front, since
    // load() drops one at the start of the file. Returns
    // false when the changes could not be written; they are then kept and
    // a later save (e.g. after load() named another file) tries again.
    bool save();

    // Removes the first line that contains text anywhere, key or value.
    // Marks the object modified even when nothing is found, so the next
    // save rewrites the file sorted.
    bool removeLine(const QString &text);

    // The default is returned only for a missing key; a value that does not
    // convert gives 0 (false, 0.0).
    int getInt(const QString &key, int defaultValue) const;
    // A long is 32 bits here on every platform; wider texts read as 0.
    qint32 getLong(const QString &key, qint32 defaultValue) const;
    qint64 getLongLong(const QString &key, qint64 defaultValue) const;
    bool getBool(const QString &key, bool defaultValue) const;
    double getDouble(const QString &key, double defaultValue) const;
    QString getString(const QString &key, const QString &defaultValue) const;

    // A key or value holding a line break (LF or CR) would be saved as two
    // lines and cut the file at the next load: such a call changes nothing
    // and returns false. Otherwise it returns true.
    bool setInt(const QString &key, int value);
    bool setLong(const QString &key, qint32 value);
    bool setLongLong(const QString &key, qint64 value);
    bool setBool(const QString &key, bool value); // "1" or "0"
    // At most 10 significant digits, plain or exponent, whichever is shorter.
    bool setDouble(const QString &key, double value);
    // "%0.15E", such as 1.500000000000000E+00.
    bool setDoubleExp(const QString &key, double value);
    bool setString(const QString &key, const QString &value);

private:
    qsizetype indexOfKey(const QString &key) const;
    std::optional<QString> valueText(const QString &key) const;
    bool setValueText(const QString &key, const QString &text);
    bool writeFile() const;

    QStringList lines;
    QString fileName;
    bool modified = false;
};
