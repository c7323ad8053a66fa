#include "FuzzInput.h"

#include <QStringDecoder>

#include <cstring>

FuzzInput::FuzzInput(const std::uint8_t *data, std::size_t size)
    : data(data), size(size)
{
}

quint8 FuzzInput::byte()
{
    return atEnd() ? 0 : data[position++];
}

quint16 FuzzInput::word()
{
    const quint16 low = byte();
    return quint16(low | byte() << 8);
}

quint32 FuzzInput::u32()
{
    const quint32 low = word();
    return low | quint32(word()) << 16;
}

quint64 FuzzInput::u64()
{
    const quint64 low = u32();
    return low | quint64(u32()) << 32;
}

double FuzzInput::real()
{
    const quint64 bits = u64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QByteArray FuzzInput::bytes(qsizetype count)
{
    const qsizetype taken = qBound(qsizetype(0), count, remaining());
    const QByteArray result(reinterpret_cast<const char *>(data + position), taken);
    position += std::size_t(taken);
    return result;
}

QString FuzzInput::utf8(qsizetype count)
{
    // Keeps a leading byte-order mark as a character, as a caller may pass one.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes(count));
}

QString FuzzInput::utf16(qsizetype count)
{
    QString result;
    for (qsizetype i = 0; i < count && !atEnd(); ++i)
        result += QChar(word());
    return result;
}

QString FuzzInput::text(int maxLength)
{
    return utf8(byte() % (maxLength + 1));
}
