#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// The firmware image: cell n holds the byte for address n. Cells are wider
// than a byte so that a cell can be compared as a whole value; only the low
// 8 bits are ever sent.
constexpr int FirmwareCellCount = 65000;
constexpr qint32 FirmwareEmptyCell = 0xFF;
using FirmwareImage = std::array<qint32, FirmwareCellCount>;

// What the instrument gets of the first count cells: their low 8 bits.
inline QByteArray firmwareBytes(const FirmwareImage &image, int count = FirmwareCellCount)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char(image[size_t(i)] & 0xFF);
    return bytes;
}

inline FirmwareImage emptyFirmwareImage()
{
    FirmwareImage cells;
    cells.fill(FirmwareEmptyCell);
    return cells;
}
