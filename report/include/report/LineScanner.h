#pragma once

#include "report/RecordLine.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

// Reads one record line: a flat JSON object, checked whole, of which only
// the keys the report uses are kept. A year of records is a million lines;
// a document per line would take longer than reading them.
class LineScanner
{
public:
    // False when the line is no JSON object (cut off, garbled), or lacks
    // the time or the result without which it counts for nothing.
    bool scan(QByteArrayView line, RecordLine &out);

    // Milliseconds since the epoch of an ISO time; false when it is none.
    static bool parseTime(QByteArrayView text, qint64 &utcMs);

private:
    bool object();
    bool keyAndColon(QByteArrayView &key);
    bool member();
    bool value(QByteArrayView *text, int textSlot, double *number);
    bool string(QByteArrayView &text, int textSlot);
    bool unescape(QByteArrayView raw, int textSlot, QByteArrayView &text);
    bool numberValue(double *number);
    bool word(QByteArrayView expected);
    bool nested(char close);
    void skipSpace();
    bool at(char c) const { return pos < end && *pos == c; }

    const char *pos = nullptr;
    const char *end = nullptr;
    RecordLine *line = nullptr;
    QByteArrayView time;
    double blocks = -1;
    double block = -1;
    int depth = 0;
    // Texts with escapes, one buffer a key and one for the rest, kept for
    // their capacity.
    std::array<QByteArray, 17> unescaped;
};
