#pragma once

#include <QtGlobal>

#include <array>

// The firmware image: cell n holds the byte for address n. Cells are wider
// than a byte so that a cell can be compared as a whole value; only the low
// 8 bits are ever sent.
constexpr int FirmwareCellCount = 65000;
constexpr qint32 FirmwareEmptyCell = 0xFF;
using FirmwareImage = std::array<qint32, FirmwareCellCount>;

inline FirmwareImage emptyFirmwareImage()
{
    FirmwareImage cells;
    cells.fill(FirmwareEmptyCell);
    return cells;
}
