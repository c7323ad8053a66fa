#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Reads a fuzz input as a stream of small decisions. Past the end every
// read yields zeros, so any input is a complete script.
class FuzzInput
{
public:
    explicit FuzzInput(const std::uint8_t *data, std::size_t size);

    bool atEnd() const { return position >= size; }
    qsizetype remaining() const { return qsizetype(size - position); }

    quint8 byte();
    quint16 word();
    quint32 u32();
    quint64 u64();
    double real();
    // Up to count bytes, fewer at the end.
    QByteArray bytes(qsizetype count);
    // Up to count bytes as UTF-8; invalid sequences become U+FFFD.
    QString utf8(qsizetype count);
    // Up to count UTF-16 code units as they come, unpaired surrogates too.
    QString utf16(qsizetype count);
    // A length byte (below maxLength + 1) and that many bytes as UTF-8.
    QString text(int maxLength);

private:
    const std::uint8_t *data;
    std::size_t size;
    std::size_t position = 0;
};
